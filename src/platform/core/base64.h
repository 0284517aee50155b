#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plenvo::platform {

// Base64 as mail and HTTP sign-in use it (RFC 4648, "+/", padded with "=").
std::string base64Encoded(std::string_view bytes);
// The bytes, or nullopt when the text holds anything but base64 digits
// before its padding.
std::optional<std::string> base64Decoded(std::string_view text);

}  // namespace plenvo::platform
