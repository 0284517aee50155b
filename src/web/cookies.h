#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::web {

// The cookie that carries a browser's session id.
inline constexpr std::string_view kSessionCookieName = "plenvo_session";

// The value of the first cookie called `name` in a Cookie header
// ("a=b; c=d"), without the quotes of a quoted value. nullopt when there is
// none, or when that first one's value holds anything RFC 6265 allows no
// cookie value to hold.
std::optional<std::string> cookieValue(std::string_view cookieHeader, std::string_view name);

// The Set-Cookie value that gives a browser the session `id`: for every path,
// out of reach of scripts and of other sites' requests, for `maxAge`. `secure`
// when the console is served over TLS.
std::string sessionCookie(std::string_view id, bool secure, std::chrono::seconds maxAge);
// The Set-Cookie value that makes a browser drop its session cookie.
std::string endedSessionCookie(bool secure);

// Whether two secrets are the same, taking as long for every pair of one
// length: a wrong guess tells nothing about how much of it was right.
bool sameSecret(std::string_view a, std::string_view b);

}  // namespace plenvo::web
