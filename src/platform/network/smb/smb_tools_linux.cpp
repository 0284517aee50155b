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

// An SMB2 NEGOTIATE request offering SMB 2.0.2 to 3.0.2 in its session frame:
// every SMB2 server answers it, with an error where it wants a newer dialect.
std::string negotiateRequest() {
    std::string m;
    const auto put = [&m](std::uint64_t value, int bytes) {
        // Bytes past the eighth are zero: a shift by 64 or more would be undefined.
        for (int i = 0; i < bytes; ++i)
            m += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
    };
    m += "\xFESMB";
    put(64, 2);         // header size
    put(0, 2 + 4);      // credit charge, status
    put(0, 2);          // NEGOTIATE
    put(1, 2);          // credits asked
    put(0, 4 + 4 + 8);  // flags, next command, message id
    put(0, 4 + 4 + 8);  // process id, tree id, session id
    put(0, 8);          // signature, in two halves
    put(0, 8);
    put(36, 2);               // request size
    put(4, 2);                // dialects
    put(1, 2);                // signing enabled
    put(0, 2 + 4);            // reserved, capabilities
    m += "plenvo-console--";  // client GUID
    put(0, 8);
    for (const int dialect : {0x0202, 0x0210, 0x0300, 0x0302}) put(dialect, 2);
    const size_t size = m.size();
    return std::string{'\0', static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                       static_cast<char>(size)} +
           m;
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

bool smbServerAnswers(const std::vector<ServerAddress>& addresses,
                      std::chrono::steady_clock::time_point deadline) {
    static const std::string request = negotiateRequest();
    struct Attempt {
        Socket socket;
        bool sent = false;
    };
    std::vector<Attempt> attempts;
    for (const auto& address : addresses) {
        Socket socket(
            ::socket(address.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (socket.get() < 0) continue;
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address.address),
                      address.length) != 0 &&
            errno != EINPROGRESS)
            continue;
        attempts.push_back({std::move(socket)});
    }
    while (!attempts.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        std::vector<pollfd> waiting;
        for (const auto& a : attempts)
            waiting.push_back({a.socket.get(), static_cast<short>(a.sent ? POLLIN : POLLOUT), 0});
        if (::poll(waiting.data(), waiting.size(), static_cast<int>(left.count())) < 0 &&
            errno != EINTR)
            return false;
        for (size_t i = attempts.size(); i-- > 0;) {
            if (waiting[i].revents == 0) continue;
            Attempt& a = attempts[i];
            bool failed = true;
            if (!a.sent) {
                int error = 0;
                socklen_t size = sizeof error;
                if (::getsockopt(a.socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                    error == 0)
                    failed = ::send(a.socket.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
                             static_cast<ssize_t>(request.size());
                a.sent = !failed;
            } else {
                char reply[64];
                if (::recv(a.socket.get(), reply, sizeof reply, 0) > 0) return true;
            }
            if (failed) attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return false;
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
