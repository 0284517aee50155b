#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plenvo::web {

// One request as the server layer read it, within its limits.
struct HttpRequest {
    std::string method;    // as sent: "GET", "POST"
    std::string target;    // "/log/PC01/u1?x"
    int minorVersion = 1;  // HTTP/1.<minorVersion>
    // Names in lower case, values without the spaces around them, in the order sent.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string peer;     // the client's address; empty on a local socket
    bool secure = false;  // came over TLS

    // The first header of that (lower-case) name.
    std::optional<std::string_view> header(std::string_view lowerName) const;
    // Whether the client keeps the connection for another request.
    bool keepsAlive() const;
};

}  // namespace plenvo::web
