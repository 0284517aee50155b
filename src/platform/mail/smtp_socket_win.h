#pragma once

// The byte streams under the Windows SMTP client: a TCP connection that never
// waits past a deadline, and TLS over it. Shared by the mail transport only.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace plenvo::platform::smtp {

using Clock = std::chrono::steady_clock;

// Every call returns why it failed, or an empty text when it did not.
class Socket {
  public:
    Socket() = default;
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    std::string connect(const std::string& host, int port, Clock::time_point deadline);
    std::string sendAll(std::string_view bytes, Clock::time_point deadline);
    // Appends at least one byte to `into`.
    std::string receive(std::string& into, Clock::time_point deadline);
    bool isOpen() const;
    void close();

  private:
    std::uintptr_t socket_ = ~std::uintptr_t{0};
};

// TLS through the system's own Schannel over a connected socket.
class Tls {
  public:
    Tls();
    ~Tls();
    Tls(const Tls&) = delete;
    Tls& operator=(const Tls&) = delete;

    // The handshake, and the server's certificate checked for `host`.
    std::string start(Socket& socket, const std::string& host, Clock::time_point deadline);
    std::string sendAll(Socket& socket, std::string_view bytes, Clock::time_point deadline);
    std::string receive(Socket& socket, std::string& into, Clock::time_point deadline);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace plenvo::platform::smtp
