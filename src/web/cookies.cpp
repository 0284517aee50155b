#include "web/cookies.h"

namespace plenvo::web {
namespace {

std::string_view cookieTrimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// RFC 6265's cookie-octet: no controls, spaces, quotes, commas, semicolons or
// backslashes.
bool isCookieOctet(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x21 && byte <= 0x7E && c != '"' && c != ',' && c != ';' && c != '\\';
}

}  // namespace

std::optional<std::string> cookieValue(std::string_view cookieHeader, std::string_view name) {
    while (!cookieHeader.empty()) {
        const auto semicolon = cookieHeader.find(';');
        const std::string_view pair = cookieHeader.substr(0, semicolon);
        cookieHeader.remove_prefix(semicolon == std::string_view::npos ? cookieHeader.size()
                                                                       : semicolon + 1);
        const auto equals = pair.find('=');
        // A pair without "=" names no cookie we could have set.
        if (equals == std::string_view::npos || cookieTrimmed(pair.substr(0, equals)) != name)
            continue;
        std::string_view value = cookieTrimmed(pair.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        for (const char c : value)
            if (!isCookieOctet(c)) return std::nullopt;
        return std::string(value);
    }
    return std::nullopt;
}

std::string sessionCookie(std::string_view id, bool secure, std::chrono::seconds maxAge) {
    std::string cookie(kSessionCookieName);
    cookie += '=';
    cookie += id;
    cookie += "; Path=/; HttpOnly; SameSite=Strict; Max-Age=";
    cookie += std::to_string(maxAge.count() > 0 ? maxAge.count() : 0);
    if (secure) cookie += "; Secure";
    return cookie;
}

std::string endedSessionCookie(bool secure) {
    return sessionCookie("", secure, std::chrono::seconds(0));
}

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Volatile, so that no compiler turns the loop into one that stops at the
    // first difference.
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace plenvo::web
