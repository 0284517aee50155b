#pragma once

#include <algorithm>
#include <string_view>

namespace plenvo::store {

// Stored words and column names are ASCII: their letter case is folded here
// alone, whatever the locale.
inline bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace plenvo::store
