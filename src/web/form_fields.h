#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::web {

// The fields of an application/x-www-form-urlencoded body, as the console's
// forms send them: "+" for a space, %XX for any byte. nullopt for a bad
// escape, a NUL or invalid UTF-8 after decoding, or more than 100 fields.
// The first of fields sharing a name counts. Pages put text back into HTML
// with pages::htmlEscaped.
std::optional<std::map<std::string, std::string>> formFields(std::string_view body);

}  // namespace plenvo::web
