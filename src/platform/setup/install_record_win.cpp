#include <cwchar>

#include "platform/setup/install_record.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// The program is 64-bit like the installer: both see the same, native view.
constexpr const wchar_t* kRecordKey = L"SOFTWARE\\Plenvo\\Backup Manager";

std::optional<std::filesystem::path> recordedFolder(const wchar_t* value) {
    DWORD size = 0;
    const DWORD flags = RRF_RT_REG_SZ;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kRecordKey, value, flags, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kRecordKey, value, flags, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(::wcsnlen(text.c_str(), text.size()));
    if (text.empty()) return std::nullopt;
    return std::filesystem::path(text);
}

std::string writeFolder(const wchar_t* value, const std::optional<std::filesystem::path>& folder) {
    HKEY key = nullptr;
    DWORD status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return "HKLM\\SOFTWARE\\Plenvo\\Backup Manager cannot be written (" +
               win::errorText(status) + ")";
    if (folder) {
        const std::wstring text = folder->wstring();
        status =
            ::RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        status = ::RegDeleteValueW(key, value);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    ::RegCloseKey(key);
    if (status == ERROR_SUCCESS) return {};
    return "HKLM\\SOFTWARE\\Plenvo\\Backup Manager\\" + win::utf8(value) + " cannot be written (" +
           win::errorText(status) + ")";
}

}  // namespace

InstallRecord readInstallRecord() {
    return {recordedFolder(L"DataFolder"), recordedFolder(L"SharedFolder")};
}

std::string recordDataFolder(const std::filesystem::path& folder) {
    return writeFolder(L"DataFolder", folder);
}

std::string recordSharedFolder(const std::optional<std::filesystem::path>& folder) {
    return writeFolder(L"SharedFolder", folder);
}

}  // namespace plenvo::platform
