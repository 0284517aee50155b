#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace plenvo::test {

// A server on `address`:445 that accepts connections and then never says a
// word (or, with `resetAtOnce`, closes each at once): what a hung file server
// looks like to a client. Needs root for the port; listening() is false
// without it. Stops when it goes out of scope.
class SilentServer {
  public:
    explicit SilentServer(const std::string& address, bool resetAtOnce = false)
        : reset_(resetAtOnce) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(445);
        ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
            ::listen(fd_, 64) != 0)
            return;
        listening_ = true;
        thread_ = std::thread([this] { serve(); });
    }
    ~SilentServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (const int c : held_) ::close(c);
        if (fd_ >= 0) ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool listening() const { return listening_; }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            if (reset_) {
                ::close(c);
            } else {
                held_.push_back(c);  // kept open and silent
            }
        }
    }

    int fd_ = -1;
    bool reset_;
    bool listening_ = false;
    std::atomic<bool> stop_ = false;
    std::vector<int> held_;
    std::thread thread_;
};

}  // namespace plenvo::test
