#include "alerts/alert_plan.h"

#include <algorithm>

namespace plenvo::alerts {
namespace {

bool holds(const std::vector<std::string>& codes, const std::string& code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

std::vector<std::string> codesOf(std::string_view erNo) {
    std::vector<std::string> codes;
    while (!erNo.empty()) {
        const size_t cut = erNo.find(',');
        std::string code(erNo.substr(0, cut));
        // Blanks are no part of a code; a list typed by hand may carry them.
        code.erase(std::remove(code.begin(), code.end(), ' '), code.end());
        if (!code.empty() && !holds(codes, code)) codes.push_back(std::move(code));
        erNo = cut == std::string_view::npos ? std::string_view() : erNo.substr(cut + 1);
    }
    return codes;
}

std::string joinedCodes(const std::vector<std::string>& codes) {
    std::string out;
    for (const std::string& code : codes) out += (out.empty() ? "" : ",") + code;
    return out;
}

AlertDecision decide(const std::vector<std::string>& now, const std::vector<std::string>& told) {
    AlertDecision decision;
    for (const std::string& code : now)
        if (!holds(told, code)) decision.newCodes.push_back(code);
    if (!decision.newCodes.empty())
        decision.kind = AlertKind::problem;
    else if (now.empty() && !told.empty())
        decision.kind = AlertKind::recovery;
    else if (now.size() != told.size())
        decision.kind = AlertKind::forget;
    return decision;
}

}  // namespace plenvo::alerts
