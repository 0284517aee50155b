#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plenvo::removable {

// Exchange lines with the agents: fields joined by "&", no quoting.
std::vector<std::string> splitFields(std::string_view line);
// Blanks and tabs removed at both ends.
std::string trimmed(std::string_view text);
// "&" would split the field in the agents' files, so it becomes a blank.
std::string withoutAmpersands(std::string text);
// The allowed users as stored: "Any" for an empty box, no "&".
std::string storedUserIds(const std::string& box);

}  // namespace plenvo::removable
