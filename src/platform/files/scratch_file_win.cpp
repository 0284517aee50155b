#include <algorithm>
#include <string>

#include "platform/files/scratch_file.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

HANDLE handleOf(std::uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::uintptr_t openedScratch(const std::filesystem::path& folder) {
    wchar_t name[MAX_PATH + 1] = {};
    if (!::GetTempFileNameW(folder.c_str(), L"scr", 0, name))
        win::throwError(::GetLastError(), "scratch file in " + utf8Of(folder));
    // Nobody shares it, and the system deletes it once its last handle closes.
    HANDLE file = ::CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(name);
        win::throwError(error, "scratch file in " + utf8Of(folder));
    }
    return reinterpret_cast<std::uintptr_t>(file);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

}  // namespace

ScratchFile::ScratchFile(const std::filesystem::path& folder) : handle_(openedScratch(folder)) {}

ScratchFile::~ScratchFile() {
    ::CloseHandle(handleOf(handle_));
}

void ScratchFile::append(std::string_view bytes) {
    while (!bytes.empty()) {
        OVERLAPPED where = at(size_);
        DWORD written = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(handleOf(handle_), bytes.data(), want, &written, &where) || written == 0)
            win::throwError(::GetLastError(), "scratch file");
        size_ += written;
        bytes.remove_prefix(written);
    }
}

std::size_t ScratchFile::readAt(std::uint64_t offset, char* into, std::size_t length) const {
    OVERLAPPED where = at(offset);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    if (::ReadFile(handleOf(handle_), into, want, &got, &where)) return got;
    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    win::throwError(error, "scratch file");
}

}  // namespace plenvo::platform
