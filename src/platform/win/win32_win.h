#pragma once

// Shared by the Windows implementations (`_win.cpp`) and the Win32 views in
// app/win32; the layer test keeps every other file from including it.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/core/clock.h"

namespace plenvo::platform::win {

// The console's texts are UTF-8; Win32 wants UTF-16.
std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);

// Owns a kernel handle.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~Handle() {
        if (*this) ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    explicit operator bool() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_ = nullptr;
};

// The system's own text for the error, as UTF-8.
std::string errorText(DWORD error);
// Errors that callers tell apart (a full disk above all) come as errno values,
// so that comparing with std::errc works; the rest keep their Win32 code.
std::error_code errorCode(DWORD error);
[[noreturn]] void throwError(DWORD error, const std::string& what);

// FILETIME counts 100 ns since 1601-01-01 UTC; stamps count ns since 1970.
std::int64_t nsSince1970(std::int64_t fileTime);
std::int64_t nsSince1970(const FILETIME& fileTime);
// The wall-clock time of a UTC file time in the local zone, with the zone's
// rules for that date rather than today's.
std::optional<LocalTime> localTimeOf(const FILETIME& utc);

// Symbolic links and junctions; other reparse points (deduplicated or cloud
// files) hold the file's own data. A tag of 0 is one the system did not tell.
bool isLinkTag(DWORD tag);

enum class LinkRule { follow, refuse };
// What openPlainFile() says of a name that is there but no plain file.
constexpr DWORD kNotPlainFile = ERROR_BAD_FILE_TYPE;

// Opens only a plain file on a disk. A device name such as CON, NUL or COM1
// opens the device in any folder: like a pipe on Linux it could block the
// console or feed it without end, so it is refused with folders and, when
// asked, links. Others may go on reading, writing, renaming or deleting the
// file meanwhile. Without a handle, `error` tells why.
Handle openPlainFile(const std::filesystem::path& path, DWORD access, DWORD disposition,
                     LinkRule links, DWORD& error);

// Moves `from` over `to`. Windows refuses while another process holds `to`
// open (errors 5 and 32), so that is tried again for about a second.
// Returns 0 or the last error.
DWORD moveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace plenvo::platform::win
