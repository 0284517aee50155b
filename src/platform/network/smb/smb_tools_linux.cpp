#include "platform/network/smb/smb_tools_linux.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/network/smb/negotiate_request.h"
#include "platform/process/detached_command.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// Whether `klist -s` finds a ticket that has not run out.
bool holdsKerberosTicket() {
    const std::string klist = findProgram("klist");
    if (klist.empty()) return false;
    const auto result = runBounded({klist, "-s"}, 2s);
    return result && result->exitCode == 0;
}

}  // namespace

bool plausibleServerName(const std::string& server) {
    if (server.empty() || server.front() == '-' || server.size() > 255) return false;
    for (const unsigned char c : server)
        if (c <= ' ' || std::strchr("\\/@:%?#;[]\"'", c)) return false;
    return true;
}

std::vector<ServerAddress> smbAddressesOf(const std::string& server) {
    if (!plausibleServerName(server)) return {};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(server.c_str(), "445", &hints, &found) != 0) return {};
    const std::unique_ptr<addrinfo, AddressListDeleter> list(found);
    std::vector<ServerAddress> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        ServerAddress address;
        std::memcpy(&address.address, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        addresses.push_back(address);
    }
    return addresses;
}

std::vector<bool> smbServersAnswer(const std::vector<std::vector<ServerAddress>>& addressesOfEach,
                                   std::chrono::steady_clock::time_point deadline) {
    static const std::string request = negotiateRequest();
    struct Attempt {
        Socket socket;
        std::size_t server;
        bool sent = false;
    };
    std::vector<bool> answered(addressesOfEach.size(), false);
    std::vector<Attempt> attempts;
    for (std::size_t server = 0; server < addressesOfEach.size(); ++server)
        for (const auto& address : addressesOfEach[server]) {
            Socket socket(
                ::socket(address.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            if (socket.get() < 0) continue;
            if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address.address),
                          address.length) != 0 &&
                errno != EINPROGRESS)
                continue;
            attempts.push_back({std::move(socket), server});
        }
    while (!attempts.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        std::vector<pollfd> waiting;
        for (const auto& a : attempts)
            waiting.push_back({a.socket.get(), static_cast<short>(a.sent ? POLLIN : POLLOUT), 0});
        if (::poll(waiting.data(), waiting.size(), static_cast<int>(left.count())) < 0 &&
            errno != EINTR)
            break;
        for (size_t i = attempts.size(); i-- > 0;) {
            Attempt& a = attempts[i];
            bool done = answered[a.server];  // another address of it answered
            if (!done && waiting[i].revents != 0) {
                done = true;  // failed, unless it goes on below
                if (!a.sent) {
                    int error = 0;
                    socklen_t size = sizeof error;
                    if (::getsockopt(a.socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                        error == 0 &&
                        ::send(a.socket.get(), request.data(), request.size(), MSG_NOSIGNAL) ==
                            static_cast<ssize_t>(request.size())) {
                        a.sent = true;
                        done = false;
                    }
                } else {
                    char reply[64];
                    if (::recv(a.socket.get(), reply, sizeof reply, 0) > 0)
                        answered[a.server] = true;
                }
            }
            if (done) attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return answered;
}

bool smbServerAnswers(const std::vector<ServerAddress>& addresses,
                      std::chrono::steady_clock::time_point deadline) {
    return smbServersAnswer({addresses}, deadline).front();
}

SambaToolSignIn::SambaToolSignIn(const NetworkSignIn& signIn) {
    if (signIn.usable() && !signIn.authFile.empty()) {
        arguments_ = {"-A", signIn.authFile.string()};
        // A file without a password line would have the tool ask for one.
        if (signIn.password.empty()) arguments_.push_back("-N");
        ready_ = true;
        return;
    }
    if (!signIn.usable()) {
        // The tools read USER=user%password themselves (and 4.17 crashes when
        // a credential option comes with it).
        const char* user = std::getenv("USER");
        if (user && std::strchr(user, '%'))
            arguments_ = {};
        else if (holdsKerberosTicket())
            arguments_ = {"--use-kerberos=desired", "-N"};
        else
            arguments_ = {"-U%"};
        ready_ = true;
        return;
    }
    std::error_code ec;
    const auto folder = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    std::string pattern = (folder / "plenvo-auth-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());  // mode 0600
    if (fd < 0) return;
    temporaryFile_ = pattern;
    std::string text = "username = " + signIn.user + "\npassword = " + signIn.password + "\n";
    if (!signIn.domain.empty()) text += "domain = " + signIn.domain + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    std::fill(text.begin(), text.end(), '\0');
    ready_ = ::close(fd) == 0 && written;
    if (ready_) arguments_ = {"-A", temporaryFile_.string()};
}

SambaToolSignIn::~SambaToolSignIn() {
    if (!temporaryFile_.empty()) ::unlink(temporaryFile_.c_str());
}

}  // namespace plenvo::platform
