#include <shlobj.h>

#include "platform/process/environment.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

std::string shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
    return win::utf8(path);
}

}  // namespace

std::optional<std::string> environmentValue(const char* name) {
    const std::wstring key = win::wide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        ::SetLastError(0);
        const DWORD n =
            ::GetEnvironmentVariableW(key.c_str(), value.data(), static_cast<DWORD>(value.size()));
        // An empty value also gives 0, but leaves the error alone.
        if (n == 0)
            return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                              : std::optional<std::string>("");
        if (n < value.size()) {
            value.resize(n);
            return win::utf8(value);
        }
        value.resize(n);  // too small: n counts the terminating null too
    }
}

std::string computerName() {
    if (auto name = environmentValue("COMPUTERNAME"); name && !name->empty()) return *name;
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size) || size == 0) return "localhost";
    return win::utf8(std::wstring_view(name, size));
}

std::string userProfileFolder() {
    for (const char* name : {"USERPROFILE", "HOME"})
        if (auto profile = environmentValue(name); profile && !profile->empty()) return *profile;
    if (auto profile = shellFolder(CSIDL_PROFILE); !profile.empty()) return profile;
    return "C:\\";
}

// Empty when the shell does not know the folder.
std::string specialFolder(SpecialFolder which) {
    return shellFolder(which == SpecialFolder::allUsersStartup ? CSIDL_COMMON_STARTUP
                                                               : CSIDL_STARTUP);
}

std::string workingFolderFromTemp(const std::optional<std::string>& temp) {
    if (!temp || temp->empty()) {
        wchar_t path[MAX_PATH + 1] = {};
        DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
        if (n == 0 || n > MAX_PATH) return "C:\\Windows\\Temp";
        // Without its closing backslash, like a TEMP value; a drive's root keeps it.
        if (n > 3 && path[n - 1] == L'\\') --n;
        return win::utf8(std::wstring_view(path, n));
    }
    const size_t at = temp->find("Temp");
    if (at == std::string::npos) return *temp;
    return temp->substr(0, at + 4);
}

std::filesystem::path executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return std::filesystem::path(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace plenvo::platform
