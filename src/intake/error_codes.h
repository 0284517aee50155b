#pragma once

#include <string>
#include <string_view>

namespace plenvo::intake {

// The error-code list of a UserLog row: two-digit codes joined by ",".
// Tests are substring tests; with two-digit codes between commas they are the
// same as tests for whole codes.
bool hasCode(std::string_view list, std::string_view code);
// The code alone, or list + "," + code.
std::string withCode(std::string_view list, std::string_view code);
// Every occurrence of the code removed, then ",," made "," in one pass;
// a leading or trailing comma stays.
std::string withoutCode(std::string_view list, std::string_view code);
// The agent's codes appended in its order, each once; none removed.
std::string mergedWithAgentCodes(std::string_view current, std::string_view agentList);

}  // namespace plenvo::intake
