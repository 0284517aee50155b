#include "platform/mail/smtp_socket_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win/win32_win.h"

namespace plenvo::platform::smtp {
namespace {

constexpr std::uintptr_t kNone = ~std::uintptr_t{0};

std::string winsockStarted() {
    static std::once_flag once;
    static int failed = 0;
    std::call_once(once, [] {
        WSADATA data{};
        failed = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return failed ? "ネットワークを使えません: " + win::errorText(static_cast<DWORD>(failed))
                  : std::string();
}

std::string socketError(const char* what, int error) {
    return std::string(what) + ": " + win::errorText(static_cast<DWORD>(error));
}

// What is left until the deadline, for select; false when nothing is.
bool timeLeft(Clock::time_point deadline, timeval& left) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (ms <= 0) return false;
    left.tv_sec = static_cast<long>(ms / 1000);
    left.tv_usec = static_cast<long>(ms % 1000 * 1000);
    return true;
}

enum class Wait { ready, timedOut, failed };

// Waits until the socket can be read (or written); a failed connect shows as
// an exception.
Wait waitFor(SOCKET s, bool writing, Clock::time_point deadline) {
    timeval left{};
    if (!timeLeft(deadline, left)) return Wait::timedOut;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const int n =
        ::select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &left);
    if (n == 0) return Wait::timedOut;
    if (n < 0 || FD_ISSET(s, &failed)) return Wait::failed;
    return Wait::ready;
}

std::string connectOne(SOCKET s, const addrinfo& address, Clock::time_point deadline) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return socketError("メールサーバーに接続できません", ::WSAGetLastError());
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return {};
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return socketError("メールサーバーに接続できません", error);
    const Wait wait = waitFor(s, true, deadline);
    if (wait == Wait::timedOut) return "メールサーバーが時間内に接続を受け付けませんでした";
    int soError = 0;
    int size = sizeof soError;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &size);
    if (wait == Wait::failed || soError != 0)
        return socketError("メールサーバーに接続できません", soError ? soError : WSAECONNREFUSED);
    return {};
}

// getaddrinfo has no timeout of its own: it runs on a thread of its own that
// is left to finish alone when the deadline comes first.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false, abandoned = false;
    int error = 0;
    addrinfo* found = nullptr;
};

int lookUp(const std::string& host, const std::string& service, Clock::time_point deadline,
           addrinfo*& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    // An address written as numbers needs no lookup, nor its thread.
    addrinfo numeric = hints;
    numeric.ai_flags = AI_NUMERICHOST;
    if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &found) == 0) return 0;
    found = nullptr;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host, service, hints] {
            addrinfo* result = nullptr;
            const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
            const std::lock_guard lock(lookup->mutex);
            if (lookup->abandoned) {
                if (result) ::freeaddrinfo(result);
                return;
            }
            lookup->error = error;
            lookup->found = result;
            lookup->finished = true;
            lookup->done.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        return ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    }
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; })) {
        lookup->abandoned = true;
        return WSAETIMEDOUT;
    }
    found = lookup->found;
    return lookup->error;
}

}  // namespace

Socket::~Socket() {
    close();
}

bool Socket::isOpen() const {
    return socket_ != kNone;
}

void Socket::close() {
    if (isOpen()) ::closesocket(static_cast<SOCKET>(socket_));
    socket_ = kNone;
}

std::string Socket::connect(const std::string& host, int port, Clock::time_point deadline) {
    close();
    if (std::string why = winsockStarted(); !why.empty()) return why;
    addrinfo* found = nullptr;
    const int error = lookUp(host, std::to_string(port), deadline, found);
    if (error == WSAETIMEDOUT && Clock::now() >= deadline)
        return "メールサーバーの名前を時間内に解決できませんでした";
    if (error != 0)
        return socketError(("メールサーバー " + host + " の名前を解決できません").c_str(), error);
    std::string why = "メールサーバー " + host + " の名前を解決できません";
    // Each address in turn (IPv6 and IPv4 alike), all within the one deadline.
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            why = socketError("メールサーバーに接続できません", ::WSAGetLastError());
            continue;
        }
        why = connectOne(s, *a, deadline);
        if (why.empty()) {
            socket_ = static_cast<std::uintptr_t>(s);
            break;
        }
        ::closesocket(s);
        if (Clock::now() >= deadline) break;
    }
    ::freeaddrinfo(found);
    return why;
}

std::string Socket::sendAll(std::string_view bytes, Clock::time_point deadline) {
    if (!isOpen()) return "メールサーバーにつながっていません";
    const SOCKET s = static_cast<SOCKET>(socket_);
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 16));
        const int n = ::send(s, bytes.data(), chunk, 0);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return socketError("メールサーバーに送れません", error);
        if (waitFor(s, true, deadline) == Wait::timedOut)
            return "メールサーバーが時間内にデータを受け取りませんでした";
    }
    return {};
}

std::string Socket::receive(std::string& into, Clock::time_point deadline) {
    if (!isOpen()) return "メールサーバーにつながっていません";
    const SOCKET s = static_cast<SOCKET>(socket_);
    char buffer[16384];
    for (;;) {
        const int n = ::recv(s, buffer, sizeof buffer, 0);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            return {};
        }
        if (n == 0) return "メールサーバーが接続を閉じました";
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return socketError("メールサーバーから読めません", error);
        if (waitFor(s, false, deadline) == Wait::timedOut)
            return "メールサーバーが時間内に応答しませんでした";
    }
}

}  // namespace plenvo::platform::smtp
