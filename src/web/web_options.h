#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::web {

// How the web view is served, as the command line gives it.
struct WebOptions {
    std::string address;  // host name or IP address, without brackets
    int port = 0;
    // A local (Unix) socket for a reverse proxy, in place of address and port.
    std::optional<std::filesystem::path> localSocket{};
    std::optional<std::filesystem::path> usersFile{};
    std::optional<std::filesystem::path> certFile{};
    std::optional<std::filesystem::path> keyFile{};  // PEM, beside a PEM certFile
    // Whose first line is the password of a PKCS#12 (.pfx) certFile.
    std::optional<std::filesystem::path> certPasswordFile{};
};

// "ADDR:PORT" ("[::1]:8080" for IPv6; a port alone is 127.0.0.1's) into
// address and port; nullopt when it is not of that form or the port lies
// outside 1..65535.
std::optional<std::pair<std::string, int>> parseListenAddress(std::string_view text);

// "unix:/run/x/http.sock" as the path of a local socket; nullopt for any other text.
std::optional<std::filesystem::path> parseLocalSocket(std::string_view text);

// Whether only this machine can reach the address: 127.0.0.0/8, ::1, localhost.
bool isLoopback(std::string_view address);

// Why the options cannot be served by this build, or nullopt when they can.
// An address others can reach needs a users file (and TLS where this build
// keeps plain HTTP on loopback); a certificate needs its key or password file.
std::optional<std::string> servingRefusal(const WebOptions& options);

}  // namespace plenvo::web
