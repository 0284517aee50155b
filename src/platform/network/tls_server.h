#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "platform/network/stream_socket.h"

namespace plenvo::platform {

// TLS for the connections of a server, from a PEM certificate chain and key.
// TLS 1.2 and later; no renegotiation by clients.
class TlsServer {
  public:
    // Whether this build can serve TLS at all.
    static bool available();
    // Why the files cannot be used (unreadable, not PEM, key not matching).
    static std::variant<std::shared_ptr<const TlsServer>, std::string> load(
        const std::filesystem::path& certificate, const std::filesystem::path& key);

    virtual ~TlsServer() = default;
    // A session over an accepted connection; the handshake runs in its first
    // reads and writes, which then carry the plain bytes.
    virtual std::unique_ptr<ByteChannel> wrap(StreamConnection connection) const = 0;
};

}  // namespace plenvo::platform
