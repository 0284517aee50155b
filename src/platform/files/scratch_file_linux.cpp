#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "platform/files/scratch_file.h"

namespace plenvo::platform {
namespace {

int openedScratch(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // Some file systems (CIFS, older NFS) have no unnamed files: a named one
    // unlinked at once does the same.
    std::string name = (folder / ".scratch-XXXXXX").string();
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0)
        throw std::system_error(errno, std::generic_category(),
                                "scratch file in " + folder.string());
    ::unlink(name.c_str());
    return named;
}

}  // namespace

ScratchFile::ScratchFile(const std::filesystem::path& folder)
    : handle_(static_cast<std::uintptr_t>(openedScratch(folder))) {}

ScratchFile::~ScratchFile() {
    ::close(static_cast<int>(handle_));
}

void ScratchFile::append(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(static_cast<int>(handle_), bytes.data(), bytes.size(),
                                   static_cast<off_t>(size_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw std::system_error(n < 0 ? errno : ENOSPC, std::generic_category(),
                                    "scratch file");
        size_ += static_cast<std::uint64_t>(n);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t ScratchFile::readAt(std::uint64_t offset, char* into, std::size_t length) const {
    for (;;) {
        const ssize_t n =
            ::pread(static_cast<int>(handle_), into, length, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "scratch file");
    }
}

}  // namespace plenvo::platform
