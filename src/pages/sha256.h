#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace plenvo::pages {

// SHA-256 of the bytes: names derived from it stay apart even for names an
// agent chose to collide.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

}  // namespace plenvo::pages
