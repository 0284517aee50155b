#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/credentials/network_sign_in.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

constexpr const char* kTopic = "SmbAuth.conf";
constexpr size_t kMaxBytes = 64 * 1024;  // a few lines; anything larger is not one

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

NetworkSignIn loadNetworkSignIn(const std::filesystem::path& authFile, FailureLog& failures) {
    try {
        // Non-blocking, so that a pipe put there cannot hold the console.
        const FileDescriptor file(
            ::open(authFile.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.get() < 0) {
            if (errno != ENOENT && errno != ENOTDIR)
                failures.report(kTopic, utf8Of(authFile) + " cannot be read (" +
                                            std::strerror(errno) + "); it is not used");
            return {};
        }
        struct stat st;
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            failures.report(kTopic, utf8Of(authFile) + " is not a plain file; it is not used");
            return {};
        }
        // A password others may read is no secret any more.
        if (st.st_mode & 077) {
            failures.report(kTopic, utf8Of(authFile) + " is open to group or others (mode " +
                                        octal(st.st_mode) +
                                        "); it is not used until only its owner may read it "
                                        "(chmod 600)");
            return {};
        }
        std::string text;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                failures.report(kTopic, utf8Of(authFile) + " cannot be read (" +
                                            std::strerror(errno) + "); it is not used");
                return {};
            }
            if (n == 0) break;
            text.append(buffer, static_cast<size_t>(n));
            if (text.size() > kMaxBytes) {
                failures.report(kTopic, utf8Of(authFile) + " is too large; it is not used");
                return {};
            }
        }
        NetworkSignIn signIn = parseNetworkSignIn(text);
        signIn.authFile = authFile;
        return signIn;
    } catch (...) {
        failures.report(kTopic, utf8Of(authFile) + " cannot be read; it is not used");
        return {};
    }
}

}  // namespace plenvo::platform
