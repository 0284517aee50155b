#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::removable {

// Exchange lines with the agents: fields joined by "&", no quoting.
std::vector<std::string> splitFields(std::string_view line);
// Blanks and tabs removed at both ends.
std::string trimmed(std::string_view text);
// Messages quote at most this many characters of an agent's line: a line may
// be long, and each message is one line on standard error.
constexpr size_t kQuotedChars = 80;
// The first kQuotedChars characters of a UTF-8 text; "..." marks a cut.
std::string excerpt(std::string_view utf8);
// "&" would split the field in the agents' files, so it becomes a blank.
std::string withoutAmpersands(std::string text);
// The allowed users as stored: "Any" for an empty box, no "&".
std::string storedUserIds(const std::string& box);

}  // namespace plenvo::removable
