#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>

#include "platform/network/stream_socket.h"

namespace plenvo::test {

// One answer as a client saw it; status 0 when none came whole in time.
struct HttpReply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string error;

    std::string header(const std::string& lowerName) const {
        const auto found = headers.find(lowerName);
        return found == headers.end() ? std::string() : found->second;
    }
};

// Sends `request` as it stands over `connection` and reads one answer: its
// Content-Length, else up to the close. `untilClosed`: the first answer's
// head, and as body every byte up to the close (answers to pipelined requests).
HttpReply exchange(platform::StreamConnection& connection, std::string_view request,
                   std::chrono::milliseconds limit = std::chrono::seconds(10),
                   bool headOnly = false, bool untilClosed = false);

// GET `target` from 127.0.0.1:`port` on a connection of its own.
HttpReply httpGet(int port, std::string_view target, std::string_view extraHeaders = {},
                  std::chrono::milliseconds limit = std::chrono::seconds(10),
                  const std::string& from = {});

// Sends `bytes` and waits until the connection is closed by the other end;
// false when it stays open past `limit`.
bool closedAfter(platform::StreamConnection& connection, std::string_view bytes,
                 std::chrono::milliseconds limit);

}  // namespace plenvo::test
