#pragma once

#include <string>
#include <string_view>

namespace plenvo::pages {

// Agent values are put into the pages as text, never as markup.
std::string htmlEscaped(std::string_view text);
// A text inside a VBScript string literal: quotes doubled, line breaks blanked.
std::string vbsStringEscaped(std::string_view text);
// Rounded to a whole number and grouped in thousands: 1,234,567.
std::string groupedNumber(double value);

}  // namespace plenvo::pages
