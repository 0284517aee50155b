#pragma once

#include <string>
#include <string_view>

namespace plenvo::pages {

// Agent values are put into the pages as text, never as markup.
std::string htmlEscaped(std::string_view text);
// The same, added to `out`.
void appendHtmlEscaped(std::string& out, std::string_view text);
// The path when it is a UNC path (\\server...), a drive path (C:\... or C:) or a
// plain relative path; empty otherwise, so that no scheme such as
// "javascript:" ever reaches a link. Browsers drop tabs and line breaks inside
// a link, so a path holding control characters is refused too.
std::string linkablePath(std::string_view path);
// A text inside a VBScript string literal: quotes doubled, line breaks blanked.
std::string vbsStringEscaped(std::string_view text);
// Rounded to a whole number and grouped in thousands: 1,234,567.
std::string groupedNumber(double value);
// The same, added to `out`.
void appendGroupedNumber(std::string& out, double value);

}  // namespace plenvo::pages
