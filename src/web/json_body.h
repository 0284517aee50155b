#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace plenvo::web {

// A value of a flat JSON object: a string, a number, true/false or null;
// nothing nests.
using JsonField = std::variant<std::monostate, bool, std::string, double>;

// The members of a flat JSON object ({"user_ids":"a b","remark":null}).
// nullopt for anything else: nesting, a bad escape, invalid UTF-8, a NUL,
// more than 32 members.
std::optional<std::map<std::string, JsonField>> flatJsonObject(std::string_view text);

// The member as a string; nullopt when missing or null; also nullopt, with
// `wrongType` set, when it holds something else.
std::optional<std::string> stringField(const std::map<std::string, JsonField>& fields,
                                       const std::string& name, bool& wrongType);

}  // namespace plenvo::web
