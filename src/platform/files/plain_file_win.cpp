#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/files/plain_file.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// A link is refused, not followed, and so is a device name.
int openPlain(const std::filesystem::path& path) {
    DWORD error = 0;
    win::Handle file =
        win::openPlainFile(path, GENERIC_READ, OPEN_EXISTING, win::LinkRule::refuse, error);
    if (!file && error == win::kNotPlainFile)
        throw std::system_error(EINVAL, std::generic_category(), "not a file: " + utf8Of(path));
    if (!file) win::throwError(error, "open " + utf8Of(path));
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) throw std::system_error(EMFILE, std::generic_category(), "open " + utf8Of(path));
    file.release();
    return fd;
}

}  // namespace

PlainFileReader::PlainFileReader(const std::filesystem::path& path)
    : path_(path), fd_(openPlain(path)) {}

PlainFileReader::~PlainFileReader() {
    ::_close(fd_);
}

std::uint64_t PlainFileReader::size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(fd_), &size))
        win::throwError(::GetLastError(), "stat " + utf8Of(path_));
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t PlainFileReader::readAt(std::uint64_t offset, char* into, std::size_t length) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    if (::ReadFile(handleOf(fd_), into, want, &got, &at)) return got;
    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    win::throwError(error, "read " + utf8Of(path_));
}

}  // namespace plenvo::platform
