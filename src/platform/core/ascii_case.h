#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace plenvo::platform {

// Stored words, column names and settings keys are ASCII: their letter case is folded here
// alone, whatever the locale.
inline bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return fold(x) == fold(y); });
}

// The text with ASCII capitals made small: server names compared as Windows does.
inline std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A value of a settings line without the blanks and tabs around it.
inline std::string_view trimmedBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace plenvo::platform
