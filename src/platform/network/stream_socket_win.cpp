#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/core/bounded_access.h"
#include "platform/network/stream_socket.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
constexpr int kBacklog = 128;

SOCKET socketOf(std::uintptr_t socket) {
    return static_cast<SOCKET>(socket);
}

void closeSocket(std::uintptr_t socket) {
    if (socket != kNoSocket) ::closesocket(socketOf(socket));
}

std::string systemText(int error) {
    return win::errorText(static_cast<DWORD>(error));
}

// Every socket call needs Winsock started once in the process; it stays
// started to the end.
int winsockFailure() {
    static std::once_flag once;
    static int failed = 0;
    std::call_once(once, [] {
        WSADATA data{};
        failed = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return failed;
}

// A socket that processes this one starts do not inherit.
SOCKET newSocket(int family) {
    SOCKET s = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                            WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET && ::WSAGetLastError() == WSAEINVAL) {
        // Windows 7 without its update does not know the flag.
        s = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        if (s != INVALID_SOCKET)
            ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    }
    return s;
}

bool makeNonBlocking(SOCKET s) {
    u_long yes = 1;
    return ::ioctlsocket(s, FIONBIO, &yes) == 0;
}

void setNoDelay(SOCKET s) {
    const BOOL yes = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
}

std::string numericHost(const sockaddr* address, int length) {
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

// One address a name resolved to, copied out of the system's list.
struct ResolvedAddress {
    sockaddr_storage address{};
    int length = 0;
    int family = 0;
};

// Addresses of `host` (empty: every address of this machine, for listening).
// Holds no references, so that it may outlive a caller who stopped waiting.
std::variant<std::vector<ResolvedAddress>, std::string> resolveAddresses(const std::string& host,
                                                                         int port, bool passive,
                                                                         bool numericOnly) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = (passive ? AI_PASSIVE : 0) | (numericOnly ? AI_NUMERICHOST : 0);
    ADDRINFOW* found = nullptr;
    const std::wstring name = win::wide(host);
    const std::wstring service = std::to_wstring(port);
    const int error =
        ::GetAddrInfoW(host.empty() ? nullptr : name.c_str(), service.c_str(), &hints, &found);
    if (error != 0) return "cannot find the address " + host + ": " + systemText(error);
    std::vector<ResolvedAddress> addresses;
    for (const ADDRINFOW* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        ResolvedAddress r;
        std::memcpy(&r.address, a->ai_addr, a->ai_addrlen);
        r.length = static_cast<int>(a->ai_addrlen);
        r.family = a->ai_family;
        addresses.push_back(r);
    }
    ::FreeAddrInfoW(found);
    return addresses;
}

// select rather than WSAPoll: before Windows 10 2004 WSAPoll never reports a
// refused connect.
std::string connectOne(SOCKET s, const ResolvedAddress& to,
                       std::chrono::steady_clock::time_point deadline) {
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return {};
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return systemText(error);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "no answer in time";
    timeval wait{static_cast<long>(left.count() / 1000),
                 static_cast<long>(left.count() % 1000 * 1000)};
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    const int n = ::select(0, nullptr, &writable, &failed, &wait);
    if (n < 0) return systemText(::WSAGetLastError());
    if (n == 0) return "no answer in time";
    int soError = 0;
    int size = sizeof soError;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &size);
    if (soError != 0 || FD_ISSET(s, &failed))
        return systemText(soError ? soError : WSAECONNREFUSED);
    return {};
}

const char* const kNoLocalSockets = "local sockets are not available on this system";

[[noreturn]] void throwSocketError(int error) {
    throw std::system_error(error, std::system_category(), "cannot make a waker");
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
    const int n = ::recv(socketOf(socket_), into,
                         static_cast<int>(std::min<std::size_t>(length, INT_MAX)), 0);
    if (n > 0) return {static_cast<std::size_t>(n), IoState::done};
    if (n == 0) return {0, IoState::closed};
    return {0, ::WSAGetLastError() == WSAEWOULDBLOCK ? IoState::wantRead : IoState::failed};
}

IoResult StreamConnection::writeSome(const char* from, std::size_t length) {
    if (length == 0) return {0, IoState::done};
    const int n = ::send(socketOf(socket_), from,
                         static_cast<int>(std::min<std::size_t>(length, INT_MAX)), 0);
    if (n >= 0) return {static_cast<std::size_t>(n), IoState::done};
    return {0, ::WSAGetLastError() == WSAEWOULDBLOCK ? IoState::wantWrite : IoState::failed};
}

std::variant<StreamConnection, std::string> StreamConnection::connectTo(
    const std::string& host, int port, std::chrono::milliseconds limit, const std::string& from) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::string where = host + " port " + std::to_string(port);
    if (const int error = winsockFailure())
        return "cannot connect to " + where + ": " + systemText(error);
    if (port <= 0 || port > 65535) return "cannot connect to " + where + ": no such port";
    auto found = resolveAddresses(host, port, false, true);
    if (std::holds_alternative<std::string>(found)) {
        // GetAddrInfoW has no timeout of its own.
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
        const SOCKET s = newSocket(to.family);
        if (s == INVALID_SOCKET || !makeNonBlocking(s)) {
            why = systemText(::WSAGetLastError());
            if (s != INVALID_SOCKET) ::closesocket(s);
            continue;
        }
        if (bindTo &&
            ::bind(s, reinterpret_cast<const sockaddr*>(&bindTo->address), bindTo->length) != 0) {
            why = "cannot use the address " + from + ": " + systemText(::WSAGetLastError());
            ::closesocket(s);
            continue;
        }
        why = connectOne(s, to, deadline);
        if (why.empty()) {
            setNoDelay(s);
            return StreamConnection(
                static_cast<std::uintptr_t>(s),
                numericHost(reinterpret_cast<const sockaddr*>(&to.address), to.length));
        }
        ::closesocket(s);
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return "cannot connect to " + where + ": " + why;
}

std::variant<StreamConnection, std::string> StreamConnection::connectToLocal(
    const std::filesystem::path& path) {
    return "cannot connect to " + win::utf8(path.wstring()) + ": " + kNoLocalSockets;
}

StreamListener::StreamListener(std::uintptr_t socket, std::filesystem::path localPath)
    : socket_(socket), localPath_(std::move(localPath)) {}

StreamListener::~StreamListener() {
    closeSocket(socket_);
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
    if (const int error = winsockFailure()) return ListenRefusal{where + ": " + systemText(error)};
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
        const SOCKET s = newSocket(a.family);
        int error = 0;
        if (s == INVALID_SOCKET) {
            error = ::WSAGetLastError();
        } else {
            // Windows lets a SO_REUSEADDR socket take a port over; this forbids it.
            const BOOL yes = TRUE, no = FALSE;
            ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                         sizeof yes);
            // "::" takes IPv4 clients too; Windows' default is IPv6 only.
            if (a.family == AF_INET6)
                ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&no),
                             sizeof no);
            if (::bind(s, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0 &&
                ::listen(s, kBacklog) == 0 && makeNonBlocking(s))
                return StreamListener(static_cast<std::uintptr_t>(s), {});
            error = ::WSAGetLastError();
            ::closesocket(s);
        }
        const bool taken = error == WSAEADDRINUSE;
        if (first || taken) refusal = ListenRefusal{where + ": " + systemText(error), taken};
        first = false;
    }
    return refusal;
}

std::variant<StreamListener, ListenRefusal> StreamListener::onLocalSocket(
    const std::filesystem::path& path) {
    return ListenRefusal{"cannot listen on " + win::utf8(path.wstring()) + ": " + kNoLocalSockets};
}

std::vector<StreamListener> StreamListener::handedOver() {
    return {};  // no service manager hands sockets over on Windows
}

std::optional<StreamConnection> StreamListener::accept() {
    sockaddr_storage address{};
    int length = sizeof address;
    const SOCKET s = ::accept(socketOf(socket_), reinterpret_cast<sockaddr*>(&address), &length);
    // None waiting, or a client that gave up while waiting: none now.
    if (s == INVALID_SOCKET) return std::nullopt;
    // Accepted sockets are inheritable whatever the listener was (so under
    // Wine); non-blocking is set too rather than trusted to carry over.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (!makeNonBlocking(s)) {
        ::closesocket(s);
        return std::nullopt;
    }
    // Answers go out whole in one write; no wait for delayed acknowledgements.
    setNoDelay(s);
    return StreamConnection(static_cast<std::uintptr_t>(s),
                            numericHost(reinterpret_cast<const sockaddr*>(&address), length));
}

int StreamListener::port() const {
    sockaddr_storage address{};
    int length = sizeof address;
    if (::getsockname(socketOf(socket_), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return 0;
}

std::string StreamListener::address() const {
    sockaddr_storage address{};
    int length = sizeof address;
    if (::getsockname(socketOf(socket_), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6) return {};
    return numericHost(reinterpret_cast<const sockaddr*>(&address), length);
}

int waitForSockets(std::span<SocketWait> sockets, std::chrono::milliseconds limit) {
    const int timeout = static_cast<int>(std::clamp<long long>(limit.count(), 0, INT_MAX));
    for (SocketWait& s : sockets) s.readable = s.writable = false;
    if (sockets.empty()) {
        // WSAPoll refuses an empty list.
        ::Sleep(static_cast<DWORD>(timeout));
        return 0;
    }
    std::vector<WSAPOLLFD> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        polled[i].fd = socketOf(sockets[i].handle);
        polled[i].events = static_cast<SHORT>((sockets[i].forRead ? POLLRDNORM : 0) |
                                              (sockets[i].forWrite ? POLLWRNORM : 0));
    }
    const int n = ::WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeout);
    if (n <= 0) return 0;
    int ready = 0;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        // An ended or broken stream (or a closed socket) wakes its waiter,
        // whose next call then tells which.
        constexpr SHORT broken = POLLHUP | POLLERR | POLLNVAL;
        const SHORT got = polled[i].revents;
        sockets[i].readable = sockets[i].forRead && (got & (POLLRDNORM | broken)) != 0;
        sockets[i].writable = sockets[i].forWrite && (got & (POLLWRNORM | broken)) != 0;
        if (sockets[i].readable || sockets[i].writable) ++ready;
    }
    return ready;
}

// Windows can wait on sockets only: a connected pair over loopback stands in
// for a pipe.
SocketWaker::SocketWaker() : readEnd_(kNoSocket), writeEnd_(kNoSocket) {
    if (const int error = winsockFailure()) throwSocketError(error);
    // Closed on every way out but success.
    struct Owned {
        SOCKET s = INVALID_SOCKET;
        ~Owned() {
            if (s != INVALID_SOCKET) ::closesocket(s);
        }
    };
    Owned listener{newSocket(AF_INET)}, writer{newSocket(AF_INET)}, reader;
    if (listener.s == INVALID_SOCKET || writer.s == INVALID_SOCKET)
        throwSocketError(::WSAGetLastError());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    sockaddr_in writerAddress{};
    int writerLength = sizeof writerAddress;
    if (::bind(listener.s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listener.s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(listener.s, 1) != 0 ||
        ::connect(writer.s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(writer.s, reinterpret_cast<sockaddr*>(&writerAddress), &writerLength) != 0)
        throwSocketError(::WSAGetLastError());
    sockaddr_in peer{};
    int peerLength = sizeof peer;
    reader.s = ::accept(listener.s, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    if (reader.s == INVALID_SOCKET) throwSocketError(::WSAGetLastError());
    // Another program on this machine could have connected first.
    if (peer.sin_port != writerAddress.sin_port ||
        peer.sin_addr.s_addr != writerAddress.sin_addr.s_addr)
        throwSocketError(WSAECONNREFUSED);
    if (!makeNonBlocking(reader.s) || !makeNonBlocking(writer.s))
        throwSocketError(::WSAGetLastError());
    ::SetHandleInformation(reinterpret_cast<HANDLE>(reader.s), HANDLE_FLAG_INHERIT, 0);
    setNoDelay(writer.s);
    readEnd_ = static_cast<std::uintptr_t>(std::exchange(reader.s, INVALID_SOCKET));
    writeEnd_ = static_cast<std::uintptr_t>(std::exchange(writer.s, INVALID_SOCKET));
}

SocketWaker::~SocketWaker() {
    closeSocket(readEnd_);
    closeSocket(writeEnd_);
}

void SocketWaker::wake() {
    // A full buffer is already a wake-up nobody has taken.
    const char byte = 1;
    ::send(socketOf(writeEnd_), &byte, 1, 0);
}

void SocketWaker::drain() {
    char bytes[256];
    while (::recv(socketOf(readEnd_), bytes, sizeof bytes, 0) > 0) {
    }
}

}  // namespace plenvo::platform
