#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/process/single_instance.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

class MutexGuard final : public SingleInstanceGuard {
  public:
    explicit MutexGuard(win::Handle mutex) : mutex_(std::move(mutex)) {}

  private:
    win::Handle mutex_;  // the name lives while any handle to it is open
};

// The folder as one spelling: where it can be opened the system's own final
// path (long names, links resolved), else the absolute path without "." or
// ".."; folded to upper case, since Windows names ignore case.
std::wstring folderSpelling(const std::filesystem::path& baseFolder) {
    std::wstring path = baseFolder.wstring();
    std::wstring buffer(32768, L'\0');
    const auto fits = [&](DWORD n) { return n > 0 && n < buffer.size(); };
    const win::Handle folder(
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD n = 0;
    if (folder && fits(n = ::GetFinalPathNameByHandleW(folder.get(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()), 0)))
        path.assign(buffer.data(), n);
    else if (fits(n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                         buffer.data(), nullptr)))
        path.assign(buffer.data(), n);
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (!path.empty())
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.data(),
                       static_cast<int>(path.size()), path.data(), static_cast<int>(path.size()));
    return path;
}

// Stable across builds, so two versions of the console agree on the name.
std::wstring folderKey(const std::filesystem::path& baseFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : folderSpelling(baseFolder)) {
        for (const unsigned byte : {c & 0xFFu, (c >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    }
    wchar_t hex[17];
    std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

}  // namespace

// A named mutex per base folder, in this session's namespace: a user of
// another session cannot make the name first and so keep the console out.
SingleInstance acquireSingleInstance(const std::filesystem::path& baseFolder) {
    const std::wstring name = L"Local\\PlenvoBackupMng-" + folderKey(baseFolder);
    win::Handle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = ::GetLastError();
    const std::string running = "already running for " + win::utf8(baseFolder.wstring());
    if (mutex && error == ERROR_ALREADY_EXISTS) return {nullptr, running};
    // Made by someone whose mutex we may not open: held all the same.
    if (!mutex && error == ERROR_ACCESS_DENIED)
        return {nullptr, running + " (a console of another user)"};
    // No lock to be had: run unguarded.
    if (!mutex) return {std::make_unique<SingleInstanceGuard>(), {}};
    return {std::make_unique<MutexGuard>(std::move(mutex)), {}};
}

}  // namespace plenvo::platform
