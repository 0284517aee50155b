#include "web/web_options.h"

#include <charconv>

#include "platform/core/ascii_case.h"
#include "platform/network/tls_server.h"
#include "platform/text/utf8_path.h"

namespace plenvo::web {

std::optional<std::pair<std::string, int>> parseListenAddress(std::string_view text) {
    std::string_view host, port;
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
        host = "127.0.0.1";  // a port alone: this machine only
        port = text;
    } else if (text.starts_with('[')) {
        const auto close = text.find("]:");
        if (close == std::string_view::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        // An IPv6 address without brackets would leave its port ambiguous.
        if (host.find(':') != std::string_view::npos) return std::nullopt;
    }
    if (host.empty() || port.empty()) return std::nullopt;
    for (char c : host)
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '[' || c == ']')
            return std::nullopt;
    int number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (ec != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
        return std::nullopt;
    return std::pair{std::string(host), number};
}

std::optional<std::filesystem::path> parseLocalSocket(std::string_view text) {
    constexpr std::string_view kPrefix = "unix:";
    if (!text.starts_with(kPrefix) || text.size() == kPrefix.size()) return std::nullopt;
    const std::string_view path = text.substr(kPrefix.size());
    for (char c : path)
        if (static_cast<unsigned char>(c) < ' ') return std::nullopt;
    return platform::pathFromUtf8(path);
}

bool isLoopback(std::string_view address) {
    if (platform::sameIgnoringAsciiCase(address, "localhost") || address == "::1") return true;
    // 127.a.b.c written in full: other spellings are left to the users file.
    if (!address.starts_with("127.")) return false;
    int parts = 0;
    for (std::string_view rest = address; !rest.empty();) {
        const auto dot = rest.find('.');
        const std::string_view part = rest.substr(0, dot);
        int value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        rest = rest.substr(dot + 1);
        if (rest.empty()) return false;
    }
    return parts == 4;
}

namespace {

// What to give for TLS, in the forms this build takes.
std::string tlsOptionsText() {
    return platform::TlsServer::keyForms() == platform::TlsKeyForms::pfxOnly
               ? "--http-cert FILE.pfx --http-cert-password-file FILE"
               : "--http-cert FILE --http-key FILE (PEM), or --http-cert FILE.pfx "
                 "--http-cert-password-file FILE";
}

}  // namespace

std::optional<std::string> servingRefusal(const WebOptions& options) {
    if (options.keyFile && options.certPasswordFile)
        return "--http-key is the key of a PEM certificate, --http-cert-password-file the "
               "password of a .pfx: give one of them";
    if (!options.certFile && (options.keyFile || options.certPasswordFile))
        return "--http-key and --http-cert-password-file go with --http-cert FILE";
    if (options.certFile && !options.keyFile && !options.certPasswordFile)
        return "--http-cert needs its key: give " + tlsOptionsText();
    if (options.keyFile && platform::TlsServer::keyForms() == platform::TlsKeyForms::pfxOnly)
        return "this build takes the certificate and its key as one PKCS#12 file: give " +
               tlsOptionsText() +
               " (`openssl pkcs12 -export -in CERT.pem -inkey KEY.pem -out FILE.pfx` makes one)";
    // Passwords and session cookies would cross the network in the clear.
    if (!options.certFile && !platform::TlsServer::plainToOtherMachines() && !options.localSocket &&
        !isLoopback(options.address))
        return "--http " + options.address + ": other PCs reach the web view over TLS only; give " +
               tlsOptionsText() +
               " with --http-users FILE, or serve on 127.0.0.1 behind a reverse proxy that adds "
               "TLS";
    // A proxy on the local socket passes on other machines' requests.
    if (!options.usersFile && options.localSocket)
        return "--http unix:" + platform::utf8Of(*options.localSocket) +
               " serves a proxy that others reach: give a users file with --http-users FILE";
    if (!options.usersFile && !isLoopback(options.address))
        return "--http " + options.address +
               " can be reached from other machines: give a users file with --http-users FILE "
               "(lines user:hash, hashes from `openssl passwd -6`), or serve on 127.0.0.1";
    return std::nullopt;
}

}  // namespace plenvo::web
