#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "platform/network/stream_socket.h"

namespace plenvo::platform {

// The server's private key: a PEM file beside a PEM certificate chain, or
// inside the certificate file itself when that is PKCS#12 (.pfx).
struct PemKeyFile {
    std::filesystem::path path;
};
struct PfxPassword {
    std::string text;  // may be empty: a .pfx exported without a password
};
using TlsKey = std::variant<PemKeyFile, PfxPassword>;

// The ways this build takes a certificate and its key.
enum class TlsKeyForms {
    pemOrPfx,  // a PEM chain and PEM key, or one .pfx
    pfxOnly,   // one .pfx, as Windows imports them
};

// TLS for the connections of a server. TLS 1.2 and later; no renegotiation
// by clients.
class TlsServer {
  public:
    // Whether this build can serve TLS at all.
    static bool available();
    static TlsKeyForms keyForms();
    // Whether plain HTTP may reach other machines here; where it may not, they
    // reach the server through its TLS or a proxy on loopback that adds TLS.
    static bool plainToOtherMachines();
    // Why the files cannot be used (unreadable, not PEM or PKCS#12, a wrong
    // password, a key not matching, a system that cannot serve TLS).
    static std::variant<std::shared_ptr<const TlsServer>, std::string> load(
        const std::filesystem::path& certificate, const TlsKey& key);

    virtual ~TlsServer() = default;
    // A session over an accepted connection; the handshake runs in its first
    // reads and writes, which then carry the plain bytes.
    virtual std::unique_ptr<ByteChannel> wrap(StreamConnection connection) const = 0;
};

}  // namespace plenvo::platform
