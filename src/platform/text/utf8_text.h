#pragma once

#include <string>
#include <string_view>

namespace plenvo::platform {

// The text with every byte that starts no well-formed UTF-8 character (stray
// continuation bytes, cut sequences, overlong forms, surrogates, beyond
// U+10FFFF) replaced by U+FFFD: stored values may hold any bytes, what the
// console writes out as UTF-8 must be.
std::string validUtf8(std::string_view bytes);

// The length of the well-formed character at the start of `bytes`; 0 when there is none.
size_t utf8CharacterLength(std::string_view bytes);

}  // namespace plenvo::platform
