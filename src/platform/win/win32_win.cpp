#include "platform/win/win32_win.h"

#include <thread>

namespace plenvo::platform::win {
namespace {

// Win32 codes with the system's message in UTF-8: the system category would
// give it in the ANSI code page, which the console's logs cannot hold.
class Win32Category final : public std::error_category {
  public:
    const char* name() const noexcept override { return "win32"; }
    std::string message(int value) const override { return errorText(static_cast<DWORD>(value)); }
    std::error_condition default_error_condition(int value) const noexcept override {
        return std::system_category().default_error_condition(value);
    }
};

constexpr std::int64_t kFileTimeOf1970 = 116444736000000000;

}  // namespace

std::wstring wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

std::string errorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return utf8(text);
}

std::error_code errorCode(DWORD error) {
    static const Win32Category category;
    return {static_cast<int>(error), category};
}

void throwError(DWORD error, const std::string& what) {
    throw std::system_error(errorCode(error), what);
}

std::int64_t nsSince1970(std::int64_t fileTime) {
    return (fileTime - kFileTimeOf1970) * 100;
}

std::int64_t nsSince1970(const FILETIME& fileTime) {
    return nsSince1970(static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime));
}

std::optional<LocalTime> localTimeOf(const FILETIME& utc) {
    SYSTEMTIME universal{}, local{};
    if (!::FileTimeToSystemTime(&utc, &universal)) return std::nullopt;
    // The zone's rules of that year where the system keeps them.
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    TIME_ZONE_INFORMATION ofYear{};
    const bool yearKnown = ::GetDynamicTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID &&
                           ::GetTimeZoneInformationForYear(universal.wYear, &zone, &ofYear);
    if (!::SystemTimeToTzSpecificLocalTime(yearKnown ? &ofYear : nullptr, &universal, &local))
        return std::nullopt;
    return LocalTime{local.wYear, local.wMonth,  local.wDay,
                     local.wHour, local.wMinute, local.wSecond};
}

bool isLinkTag(DWORD tag) {
    return IsReparseTagNameSurrogate(tag) || tag == 0;
}

Handle openPlainFile(const std::filesystem::path& path, DWORD access, DWORD disposition,
                     LinkRule links, DWORD& error) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD linkFlag = links == LinkRule::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    Handle file(::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | linkFlag, nullptr));
    if (!file) {
        error = ::GetLastError();
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = kNotPlainFile;
        return {};
    }
    if (linkFlag && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
            isLinkTag(tag.ReparseTag)) {
            error = kNotPlainFile;
            return {};
        }
        // No link: the file's data lies behind the reparse point.
        file = Handle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) error = ::GetLastError();
    }
    return file;
}

DWORD moveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    // A reader that opened the file without FILE_SHARE_DELETE holds it for
    // the moment it reads: wait that out, but not for ever.
    DWORD error = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
        error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    }
    return error;
}

}  // namespace plenvo::platform::win
