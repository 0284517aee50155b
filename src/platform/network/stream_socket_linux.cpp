#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/core/bounded_access.h"
#include "platform/network/stream_socket.h"

namespace plenvo::platform {
namespace {

constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
constexpr int kBacklog = 128;

int fdOf(std::uintptr_t socket) {
    return static_cast<int>(socket);
}

void closeSocket(std::uintptr_t socket) {
    if (socket != kNoSocket) ::close(fdOf(socket));
}

std::string systemText(int error) {
    return std::strerror(error);
}

std::string numericHost(const sockaddr* address, socklen_t length) {
    sockaddr_in mapped{};
    if (address->sa_family == AF_INET6) {
        // A dual-stack listener sees IPv4 clients as ::ffff:a.b.c.d; they are a.b.c.d.
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
            mapped.sin_family = AF_INET;
            std::memcpy(&mapped.sin_addr, v6->sin6_addr.s6_addr + 12, 4);
            address = reinterpret_cast<const sockaddr*>(&mapped);
            length = sizeof mapped;
        }
    } else if (address->sa_family != AF_INET) {
        return {};
    }
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return text;
}

// One address a name resolved to, copied out of getaddrinfo's list.
struct ResolvedAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = 0;
};

// Addresses of `host` (empty: every address of this machine, for listening).
// Holds no references, so that it may outlive a caller who stopped waiting.
std::variant<std::vector<ResolvedAddress>, std::string> resolveAddresses(const std::string& host,
                                                                         int port, bool passive,
                                                                         bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = (passive ? AI_PASSIVE : 0) | (numericOnly ? AI_NUMERICHOST : 0);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int error =
        ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
    if (error != 0) {
        return "cannot find the address " + host + ": " +
               (error == EAI_SYSTEM ? systemText(errno) : ::gai_strerror(error));
    }
    std::vector<ResolvedAddress> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        ResolvedAddress r;
        std::memcpy(&r.address, a->ai_addr, a->ai_addrlen);
        r.length = a->ai_addrlen;
        r.family = a->ai_family;
        addresses.push_back(r);
    }
    ::freeaddrinfo(found);
    return addresses;
}

bool makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string connectOne(int fd, const ResolvedAddress& to,
                       std::chrono::steady_clock::time_point deadline) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return {};
    if (errno != EINPROGRESS && errno != EINTR) return systemText(errno);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    SocketWait wait{.handle = static_cast<std::uintptr_t>(fd), .forWrite = true};
    if (left.count() <= 0 || waitForSockets({&wait, 1}, left) == 0) return "no answer in time";
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    return error ? systemText(error) : std::string();
}

}  // namespace

StreamConnection::StreamConnection(std::uintptr_t socket, std::string peer)
    : socket_(socket), peer_(std::move(peer)) {}

StreamConnection::~StreamConnection() {
    closeSocket(socket_);
}

StreamConnection::StreamConnection(StreamConnection&& other) noexcept
    : socket_(std::exchange(other.socket_, kNoSocket)), peer_(std::move(other.peer_)) {}

StreamConnection& StreamConnection::operator=(StreamConnection&& other) noexcept {
    std::swap(socket_, other.socket_);
    std::swap(peer_, other.peer_);
    return *this;
}

IoResult StreamConnection::readSome(char* into, std::size_t length) {
    // recv of nothing returns 0, which would read as the end of the stream.
    if (length == 0) return {0, IoState::wantRead};
    for (;;) {
        const ssize_t n = ::recv(fdOf(socket_), into, length, 0);
        if (n > 0) return {static_cast<std::size_t>(n), IoState::done};
        if (n == 0) return {0, IoState::closed};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, IoState::wantRead};
        return {0, IoState::failed};
    }
}

IoResult StreamConnection::writeSome(const char* from, std::size_t length) {
    if (length == 0) return {0, IoState::done};
    for (;;) {
        // A peer that went away must not end the program with SIGPIPE.
        const ssize_t n = ::send(fdOf(socket_), from, length, MSG_NOSIGNAL);
        if (n >= 0) return {static_cast<std::size_t>(n), IoState::done};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, IoState::wantWrite};
        return {0, IoState::failed};
    }
}

std::variant<StreamConnection, std::string> StreamConnection::connectTo(
    const std::string& host, int port, std::chrono::milliseconds limit, const std::string& from) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::string where = host + " port " + std::to_string(port);
    if (port <= 0 || port > 65535) return "cannot connect to " + where + ": no such port";
    auto found = resolveAddresses(host, port, false, true);
    if (std::holds_alternative<std::string>(found)) {
        // getaddrinfo has no timeout of its own.
        BoundedWorker lookup(limit);
        auto named =
            lookup.run([host, port] { return resolveAddresses(host, port, false, false); });
        if (!named) return "cannot connect to " + where + ": the name was not found in time";
        found = std::move(*named);
    }
    if (auto* why = std::get_if<std::string>(&found)) return *why;
    std::vector<ResolvedAddress> source;
    if (!from.empty()) {
        auto local = resolveAddresses(from, 0, false, true);
        if (auto* why = std::get_if<std::string>(&local)) return *why;
        source = std::get<std::vector<ResolvedAddress>>(std::move(local));
    }
    std::string why = "no address";
    for (const ResolvedAddress& to : std::get<std::vector<ResolvedAddress>>(found)) {
        const ResolvedAddress* bindTo = nullptr;
        for (const ResolvedAddress& s : source)
            if (s.family == to.family) bindTo = &s;
        if (!from.empty() && !bindTo) {
            why = "no address of " + from + " reaches it";
            continue;
        }
        const int fd = ::socket(to.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            why = systemText(errno);
            continue;
        }
        if (bindTo &&
            ::bind(fd, reinterpret_cast<const sockaddr*>(&bindTo->address), bindTo->length) != 0) {
            why = "cannot use the address " + from + ": " + systemText(errno);
            ::close(fd);
            continue;
        }
        why = connectOne(fd, to, deadline);
        if (why.empty()) {
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            return StreamConnection(
                static_cast<std::uintptr_t>(fd),
                numericHost(reinterpret_cast<const sockaddr*>(&to.address), to.length));
        }
        ::close(fd);
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return "cannot connect to " + where + ": " + why;
}

std::variant<StreamConnection, std::string> StreamConnection::connectToLocal(
    const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    if (name.size() >= sizeof address.sun_path)
        return "cannot connect to " + name + ": the path is too long for a socket";
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return "cannot connect to " + name + ": " + systemText(errno);
    // A local connect does not wait for the other side: it is taken or refused at once.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return "cannot connect to " + name + ": " + systemText(error);
    }
    return StreamConnection(static_cast<std::uintptr_t>(fd), {});
}

StreamListener::StreamListener(std::uintptr_t socket, std::filesystem::path localPath)
    : socket_(socket), localPath_(std::move(localPath)) {}

StreamListener::~StreamListener() {
    closeSocket(socket_);
    if (!localPath_.empty()) ::unlink(localPath_.c_str());
}

StreamListener::StreamListener(StreamListener&& other) noexcept
    : socket_(std::exchange(other.socket_, kNoSocket)),
      localPath_(std::exchange(other.localPath_, {})) {}

StreamListener& StreamListener::operator=(StreamListener&& other) noexcept {
    std::swap(socket_, other.socket_);
    std::swap(localPath_, other.localPath_);
    return *this;
}

std::variant<StreamListener, ListenRefusal> StreamListener::onTcp(const std::string& address,
                                                                  int port) {
    const std::string where = "cannot listen on " +
                              (address.empty() ? std::string("every address") : address) +
                              " port " + std::to_string(port);
    if (port < 0 || port > 65535) return ListenRefusal{where + ": no such port"};
    auto found = resolveAddresses(address, port, true, false);
    if (auto* why = std::get_if<std::string>(&found)) return ListenRefusal{where + ": " + *why};
    auto& addresses = std::get<std::vector<ResolvedAddress>>(found);
    // Every address: "::" first, which takes IPv4 clients as well.
    if (address.empty())
        std::stable_partition(addresses.begin(), addresses.end(),
                              [](const ResolvedAddress& a) { return a.family == AF_INET6; });
    ListenRefusal refusal{where + ": the name has no address"};
    bool first = true;
    // The first address that can be had: "localhost" may name ::1 where IPv6 is off.
    for (const ResolvedAddress& a : addresses) {
        const int fd = ::socket(a.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        int error = 0;
        if (fd < 0) {
            error = errno;
        } else {
            // SO_REUSEADDR lets a port in TIME_WAIT be bound again, yet no two
            // listeners; SO_REUSEPORT would let others listen beside us.
            const int yes = 1, no = 0;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            // "::" takes IPv4 clients too, whatever the system's default.
            if (a.family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
            if (::bind(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0 &&
                ::listen(fd, kBacklog) == 0)
                return StreamListener(static_cast<std::uintptr_t>(fd), {});
            error = errno;
            ::close(fd);
        }
        const bool taken = error == EADDRINUSE;
        if (first || taken) refusal = ListenRefusal{where + ": " + systemText(error), taken};
        first = false;
    }
    return refusal;
}

std::variant<StreamListener, ListenRefusal> StreamListener::onLocalSocket(
    const std::filesystem::path& path) {
    const std::string name = path.string();
    const std::string where = "cannot listen on " + name;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty()) return ListenRefusal{"cannot listen on a local socket without a path"};
    if (name.size() >= sizeof address.sun_path)
        return ListenRefusal{where + ": the path is too long for a socket"};
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);

    struct stat there {};
    if (::lstat(name.c_str(), &there) == 0) {
        if (!S_ISSOCK(there.st_mode)) return ListenRefusal{where + ": something else is there"};
        // Only a socket nobody listens on any more may go.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (probe < 0) return ListenRefusal{where + ": " + systemText(errno)};
        const int error =
            ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
                ? 0
                : errno;
        ::close(probe);
        // EAGAIN: a listener whose queue is full.
        if (error == 0 || error == EAGAIN)
            return ListenRefusal{where + ": another program listens there", true};
        if (error != ECONNREFUSED && error != ENOENT)
            return ListenRefusal{where + ": " + systemText(error)};
        if (::unlink(name.c_str()) != 0 && errno != ENOENT)
            return ListenRefusal{where + ": " + systemText(errno)};
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return ListenRefusal{where + ": " + systemText(errno)};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return ListenRefusal{where + ": " + systemText(error), error == EADDRINUSE};
    }
    // The mode is set before listen(): until then nobody can connect anyway.
    if (::chmod(name.c_str(), 0660) != 0 || ::listen(fd, kBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(name.c_str());
        return ListenRefusal{where + ": " + systemText(error)};
    }
    return StreamListener(static_cast<std::uintptr_t>(fd), path);
}

std::vector<StreamListener> StreamListener::handedOver() {
    constexpr int kFirst = 3;  // SD_LISTEN_FDS_START
    std::vector<StreamListener> listeners;
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    const bool ours = pid && fds && std::strtol(pid, nullptr, 10) == ::getpid();
    const long count =
        ours ? std::clamp<long>(std::strtol(fds, nullptr, 10), 0, ::sysconf(_SC_OPEN_MAX)) : 0;
    for (long i = 0; i < count; ++i) {
        const int fd = kFirst + static_cast<int>(i);
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0) continue;
        if (!listening) {
            ::close(fd);  // ours, but nothing a server can accept on
            continue;
        }
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        makeNonBlocking(fd);
        listeners.push_back(StreamListener(static_cast<std::uintptr_t>(fd), {}));
    }
    // Programs this one starts must not take the sockets for theirs.
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    return listeners;
}

std::optional<StreamConnection> StreamListener::accept() {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    int fd = -1;
    do {
        fd = ::accept4(fdOf(socket_), reinterpret_cast<sockaddr*>(&address), &length,
                       SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    // Out of descriptors, or a client that gave up while waiting: none now.
    if (fd < 0) return std::nullopt;
    if (address.ss_family == AF_INET || address.ss_family == AF_INET6) {
        // Answers go out whole in one write; no wait for delayed acknowledgements.
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
    return StreamConnection(static_cast<std::uintptr_t>(fd),
                            numericHost(reinterpret_cast<const sockaddr*>(&address), length));
}

int StreamListener::port() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fdOf(socket_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return 0;
}

std::string StreamListener::address() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fdOf(socket_), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6) return {};
    return numericHost(reinterpret_cast<const sockaddr*>(&address), length);
}

int waitForSockets(std::span<SocketWait> sockets, std::chrono::milliseconds limit) {
    std::vector<pollfd> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        polled[i].fd = fdOf(sockets[i].handle);
        polled[i].events = static_cast<short>((sockets[i].forRead ? POLLIN : 0) |
                                              (sockets[i].forWrite ? POLLOUT : 0));
        sockets[i].readable = sockets[i].writable = false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int n = 0;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        n = ::poll(polled.data(), polled.size(), timeout);
        if (n >= 0 || errno != EINTR) break;
    }
    if (n <= 0) return 0;
    int ready = 0;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        // An ended or broken stream (or a closed descriptor) wakes its waiter,
        // whose next call then tells which.
        constexpr short broken = POLLHUP | POLLERR | POLLNVAL;
        const short got = polled[i].revents;
        sockets[i].readable = sockets[i].forRead && (got & (POLLIN | broken)) != 0;
        sockets[i].writable = sockets[i].forWrite && (got & (POLLOUT | broken)) != 0;
        if (sockets[i].readable || sockets[i].writable) ++ready;
    }
    return ready;
}

SocketWaker::SocketWaker() {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot make a waker");
    readEnd_ = static_cast<std::uintptr_t>(ends[0]);
    writeEnd_ = static_cast<std::uintptr_t>(ends[1]);
}

SocketWaker::~SocketWaker() {
    closeSocket(readEnd_);
    closeSocket(writeEnd_);
}

void SocketWaker::wake() {
    // A full pipe is already a wake-up nobody has taken.
    const char byte = 1;
    while (::write(fdOf(writeEnd_), &byte, 1) < 0 && errno == EINTR) {
    }
}

void SocketWaker::drain() {
    char bytes[256];
    for (;;) {
        const ssize_t n = ::read(fdOf(readEnd_), bytes, sizeof bytes);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

}  // namespace plenvo::platform
