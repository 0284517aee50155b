#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/network/byte_channel.h"

namespace plenvo::platform {

// A connected stream socket (TCP, or a local socket) in non-blocking mode.
class StreamConnection final : public ByteChannel {
  public:
    StreamConnection(std::uintptr_t socket, std::string peer);
    ~StreamConnection() override;
    StreamConnection(StreamConnection&& other) noexcept;
    StreamConnection& operator=(StreamConnection&& other) noexcept;
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    IoResult readSome(char* into, std::size_t length) override;
    IoResult writeSome(const char* from, std::size_t length) override;
    std::uintptr_t handle() const override { return socket_; }

    // The client's address as text ("192.0.2.7", "::1"); empty for a client
    // on a local (Unix) socket, which has none.
    const std::string& peer() const { return peer_; }

    // Connects to `host`:`port` within `limit`, from the local address `from`
    // when one is given (a client of the tests on 127.0.0.2, say).
    static std::variant<StreamConnection, std::string> connectTo(const std::string& host, int port,
                                                                 std::chrono::milliseconds limit,
                                                                 const std::string& from = {});
    // Connects to a local (Unix) socket; "not on this system" where there are none.
    static std::variant<StreamConnection, std::string> connectToLocal(
        const std::filesystem::path& path);

  private:
    std::uintptr_t socket_;
    std::string peer_;
};

// Why a listener could not be made; `addressTaken` when another program holds
// the address now, so that trying again later may succeed.
struct ListenRefusal {
    std::string why;
    bool addressTaken = false;
};

// A listening socket in non-blocking mode. Only this program listens on its
// address: a second one fails to bind rather than sharing or taking it over.
class StreamListener {
  public:
    ~StreamListener();
    StreamListener(StreamListener&& other) noexcept;
    StreamListener& operator=(StreamListener&& other) noexcept;
    StreamListener(const StreamListener&) = delete;
    StreamListener& operator=(const StreamListener&) = delete;

    // TCP on an IP address or host name and a port (0: one the system picks).
    static std::variant<StreamListener, ListenRefusal> onTcp(const std::string& address, int port);
    // A local (Unix) socket at `path`, readable and writable by owner and group
    // only. A socket file left by a program that ended is replaced; anything
    // else at the path, or a socket someone listens on, is refused.
    static std::variant<StreamListener, ListenRefusal> onLocalSocket(
        const std::filesystem::path& path);
    // The listening sockets a service manager opened for this process (systemd's
    // socket activation: LISTEN_PID, LISTEN_FDS); none when it opened none.
    static std::vector<StreamListener> handedOver();

    // The next waiting connection, or nullopt when none waits (or the system
    // refused one, which is dropped).
    std::optional<StreamConnection> accept();
    std::uintptr_t handle() const { return socket_; }
    // The TCP port it listens on; 0 for a local socket.
    int port() const;
    // The IP address it listens on as text ("127.0.0.1", "::"); empty for a local socket.
    std::string address() const;

  private:
    StreamListener(std::uintptr_t socket, std::filesystem::path localPath);
    std::uintptr_t socket_;
    std::filesystem::path localPath_;  // removed again when a local socket closes
};

// One socket to wait on, and what it was found ready for.
struct SocketWait {
    std::uintptr_t handle = 0;
    bool forRead = false;
    bool forWrite = false;
    bool readable = false;  // or the peer ended or broke the stream
    bool writable = false;
};

// Waits until one of `sockets` is ready as asked, or `limit` has passed; sets
// their ready flags and returns how many are ready (0 on timeout).
int waitForSockets(std::span<SocketWait> sockets, std::chrono::milliseconds limit);

// Wakes a thread in waitForSockets from another thread: wait on handle() for
// reading; drain() once woken.
class SocketWaker {
  public:
    SocketWaker();  // throws std::system_error when the system has no sockets left
    ~SocketWaker();
    SocketWaker(const SocketWaker&) = delete;
    SocketWaker& operator=(const SocketWaker&) = delete;

    std::uintptr_t handle() const { return readEnd_; }
    void wake();
    void drain();

  private:
    std::uintptr_t readEnd_;
    std::uintptr_t writeEnd_;
};

}  // namespace plenvo::platform
