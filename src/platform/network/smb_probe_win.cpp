#include <algorithm>

#include "platform/core/parallel.h"
#include "platform/network/smb/negotiate_request.h"
#include "platform/network/smb_probe.h"
#include "platform/network/stream_socket.h"

namespace plenvo::platform {
namespace {

constexpr int kSmbPort = 445;

std::chrono::milliseconds leftUntil(std::chrono::steady_clock::time_point deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
}

bool answersNegotiation(const std::string& server, std::chrono::steady_clock::time_point deadline) {
    auto made = StreamConnection::connectTo(server, kSmbPort, leftUntil(deadline));
    auto* connection = std::get_if<StreamConnection>(&made);
    if (!connection) return false;
    const std::string request = negotiateRequest();
    std::size_t sent = 0;
    while (sent < request.size()) {
        SocketWait wait{.handle = connection->handle(), .forWrite = true};
        if (waitForSockets({&wait, 1}, leftUntil(deadline)) == 0) return false;
        const IoResult r = connection->writeSome(request.data() + sent, request.size() - sent);
        if (r.state == IoState::failed || r.state == IoState::closed) return false;
        sent += r.bytes;
    }
    for (;;) {
        SocketWait wait{.handle = connection->handle(), .forRead = true};
        if (waitForSockets({&wait, 1}, leftUntil(deadline)) == 0) return false;
        char reply[64];
        const IoResult r = connection->readSome(reply, sizeof reply);
        if (r.state == IoState::done) return true;
        if (r.state != IoState::wantRead) return false;
    }
}

}  // namespace

// A thread for each: Windows' resolver and connect have no shared wait here.
std::vector<bool> smbServersAnswering(const std::vector<std::string>& servers,
                                      std::chrono::steady_clock::time_point deadline) {
    constexpr std::size_t kProbesAtOnce = 256;
    std::vector<char> answered(servers.size(), 0);
    runAtOnce(servers.size(), kProbesAtOnce,
              [&](std::size_t i) { answered[i] = answersNegotiation(servers[i], deadline); });
    return {answered.begin(), answered.end()};
}

}  // namespace plenvo::platform
