#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/percent_encoding.h"

namespace plenvo::web {

// The segments of a request target's path ("/log/PC01/u1?x" gives "log",
// "PC01", "u1"), each percent-decoded once. nullopt for anything a name can
// never hold: a bad escape, a "/" or a control character after decoding,
// an empty segment, "." or "..". "/" gives no segment.
std::optional<std::vector<std::string>> pathSegments(std::string_view target);

using platform::percentEncoded;

}  // namespace plenvo::web
