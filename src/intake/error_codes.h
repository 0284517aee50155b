#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// Codes are two digits, so there are a hundred of them; a list of them all is
// this long, and the merge never makes a list longer.
inline constexpr size_t kMaxCodeListLength = 100 * 3 - 1;

// The two-digit codes of an agent's ErNo text in its order, each once; other
// pieces are counted, empty ones ignored.
struct AgentCodes {
    std::vector<std::string> codes;
    size_t dropped = 0;
};
AgentCodes agentCodes(std::string_view agentList);

// The agent's codes appended in its order, each once; none removed. A code is
// added only while the list stays within kMaxCodeListLength: a list an earlier
// version stored longer, pieces that are no codes and all, is kept as it is
// and never grows. The checks' own codes go on with withCode regardless.
std::string mergedWithAgentCodes(std::string_view current, const AgentCodes& agent);
// What the import stores: the merge, then "14" withdrawn unless the agent gave it.
std::string importedCodes(std::string_view current, const AgentCodes& agent);

}  // namespace plenvo::intake
