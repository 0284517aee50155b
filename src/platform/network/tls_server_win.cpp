#include "platform/network/tls_server.h"

namespace plenvo::platform {

// Schannel would need the key in the system's certificate store rather than
// in PEM files; this build serves plain HTTP only.
bool TlsServer::available() {
    return false;
}

std::variant<std::shared_ptr<const TlsServer>, std::string> TlsServer::load(
    const std::filesystem::path&, const std::filesystem::path&) {
    return std::string("this build serves the web view without TLS: leave out --http-cert");
}

}  // namespace plenvo::platform
