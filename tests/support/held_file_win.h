#pragma once

// Windows tests only: another program holding a file open.
#include <windows.h>

#include <filesystem>
#include <string>

namespace plenvo::test {

// A handle on a file as another program holds it: `share` says what others
// may do meanwhile (0 for an agent that locks the file while it writes).
class HeldFile {
  public:
    HeldFile(const std::filesystem::path& file, DWORD access, DWORD share)
        : handle_(::CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release() {
        if (held()) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    // What the file holds from its start, up to 256 bytes.
    std::string read() {
        char buffer[256];
        DWORD n = 0;
        ::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
        if (!::ReadFile(handle_, buffer, sizeof buffer, &n, nullptr)) return "(unread)";
        return std::string(buffer, n);
    }

  private:
    HANDLE handle_;
};

// Most programs read without FILE_SHARE_DELETE: the file cannot be renamed
// over or deleted while they hold it.
inline constexpr DWORD kReadersShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace plenvo::test
