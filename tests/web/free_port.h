#pragma once

#include <variant>

#include "platform/network/stream_socket.h"

namespace plenvo::test {

// A TCP port of 127.0.0.1 that nobody listens on just now.
inline int freePort() {
    auto listener = platform::StreamListener::onTcp("127.0.0.1", 0);
    const auto* made = std::get_if<platform::StreamListener>(&listener);
    return made ? made->port() : 0;
}

}  // namespace plenvo::test
