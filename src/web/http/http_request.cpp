#include "web/http/http_request.h"

#include "platform/core/ascii_case.h"

namespace plenvo::web {
namespace {

// Whether a comma-separated header value lists the token, in any letter case.
bool listsToken(std::string_view value, std::string_view token) {
    for (;;) {
        const auto comma = value.find(',');
        if (platform::sameIgnoringAsciiCase(platform::trimmedBlanks(value.substr(0, comma)), token))
            return true;
        if (comma == std::string_view::npos) return false;
        value.remove_prefix(comma + 1);
    }
}

}  // namespace

std::optional<std::string_view> HttpRequest::header(std::string_view lowerName) const {
    for (const auto& [name, value] : headers)
        if (name == lowerName) return value;
    return std::nullopt;
}

bool HttpRequest::keepsAlive() const {
    bool close = false, keepAlive = false;
    for (const auto& [name, value] : headers) {
        if (name != "connection") continue;
        close = close || listsToken(value, "close");
        keepAlive = keepAlive || listsToken(value, "keep-alive");
    }
    if (close) return false;
    return minorVersion >= 1 || keepAlive;
}

}  // namespace plenvo::web
