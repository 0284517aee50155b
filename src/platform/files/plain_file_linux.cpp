#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "platform/files/plain_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

PlainFileReader::PlainFileReader(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "open " + utf8Of(path));
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw std::system_error(EINVAL, std::generic_category(), "not a file: " + utf8Of(path));
    }
}

PlainFileReader::~PlainFileReader() {
    ::close(fd_);
}

std::uint64_t PlainFileReader::size() const {
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        throw std::system_error(errno, std::generic_category(), "stat " + utf8Of(path_));
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t PlainFileReader::readAt(std::uint64_t offset, char* into, std::size_t length) const {
    for (;;) {
        const ssize_t n = ::pread(fd_, into, length, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "read " + utf8Of(path_));
    }
}

}  // namespace plenvo::platform
