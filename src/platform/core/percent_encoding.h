#pragma once

#include <string>
#include <string_view>

namespace plenvo::platform {

// A name as one segment of a URL path: every byte but A-Z a-z 0-9 - . _ ~
// as %XX, so that "/", "?", "#", "%" and UTF-8 alike stay inside the segment.
std::string percentEncoded(std::string_view name);

}  // namespace plenvo::platform
