#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/credentials/secret_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

SecretFile readSecretFile(const std::filesystem::path& path, std::size_t limit) {
    const std::string shown = utf8Of(path);
    const auto refused = [&](const std::string& why) {
        return SecretFile{std::nullopt, shown + why};
    };
    try {
        // Non-blocking, so that a pipe put there cannot hold the console.
        const FileDescriptor file(
            ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.get() < 0) {
            if (errno == ENOENT || errno == ENOTDIR) return {};
            return refused(std::string(" cannot be read (") + std::strerror(errno) +
                           "); it is not used");
        }
        struct stat st;
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return refused(" is not a plain file; it is not used");
        if (st.st_mode & 077)
            return refused(" is open to group or others (mode " + octal(st.st_mode) +
                           "); it is not used until only its owner may read it (chmod 600)");
        std::string text;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                return refused(std::string(" cannot be read (") + std::strerror(errno) +
                               "); it is not used");
            if (n == 0) break;
            text.append(buffer, static_cast<size_t>(n));
            if (text.size() > limit) return refused(" is too large; it is not used");
        }
        return {std::move(text), {}};
    } catch (...) {
        return refused(" cannot be read; it is not used");
    }
}

}  // namespace plenvo::platform
