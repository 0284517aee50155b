#include "alerts/alert_plan.h"

#include <algorithm>
#include <cctype>

#include "platform/core/ascii_case.h"
#include "platform/paths/windows_path.h"

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

AlertDecision decide(const std::vector<std::string>& now, const std::vector<std::string>& told,
                     bool cleared) {
    AlertDecision decision;
    for (const std::string& code : now)
        if (!holds(told, code)) decision.newCodes.push_back(code);
    if (cleared) {
        // Nothing told is forgotten until the agent reports again.
        decision.keep = told;
        decision.keep.insert(decision.keep.end(), decision.newCodes.begin(),
                             decision.newCodes.end());
        if (!decision.newCodes.empty()) decision.kind = AlertKind::problem;
        return decision;
    }
    decision.keep = now;
    if (!decision.newCodes.empty())
        decision.kind = AlertKind::problem;
    else if (now.empty() && !told.empty())
        decision.kind = AlertKind::recovery;
    else if (now.size() != told.size())
        decision.kind = AlertKind::forget;
    return decision;
}

std::string causePlace(std::string_view destination) {
    if (platform::isUncPath(destination)) {
        const std::string server = platform::serverOf(destination);
        return server.empty() ? std::string() : "\\\\" + server;
    }
    const std::string root = platform::rootOf(destination);
    if (root.size() == 2 && root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0])))
        return std::string(1,
                           static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])))) +
               ":";
    return {};
}

std::vector<PlannedMail> planMails(const std::vector<DueAlert>& due) {
    const std::vector<std::string> unreachableOnly = {kUnreachableCode};
    // Which shared cause each alert belongs to, by place without case.
    std::vector<std::string> causeOf(due.size());
    std::map<std::string, std::vector<size_t>> members;
    for (size_t i = 0; i < due.size(); ++i) {
        const DueAlert& alert = due[i];
        const bool lost =
            alert.kind == AlertKind::problem && holds(alert.newCodes, kUnreachableCode);
        const bool back = alert.kind == AlertKind::recovery && alert.told == unreachableOnly;
        if (!lost && !back) continue;
        const std::string place = causePlace(alert.row.destination);
        if (place.empty()) continue;
        causeOf[i] = platform::lowerCase(place) + (lost ? "|lost" : "|back");
        members[causeOf[i]].push_back(i);
    }
    std::vector<PlannedMail> mails;
    for (size_t i = 0; i < due.size(); ++i) {
        const auto group = causeOf[i].empty() ? members.end() : members.find(causeOf[i]);
        if (group == members.end() || group->second.size() < 2) {
            mails.push_back({{due[i]}, {}});
            continue;
        }
        if (group->second.front() == i) {
            PlannedMail shared;
            shared.place = causePlace(due[i].row.destination);
            for (const size_t member : group->second) shared.alerts.push_back(due[member]);
            mails.push_back(std::move(shared));
        }
        // Its other new codes are news of its own.
        if (due[i].kind == AlertKind::problem && due[i].newCodes.size() > 1) {
            DueAlert rest = due[i];
            rest.newCodes.erase(
                std::remove(rest.newCodes.begin(), rest.newCodes.end(), kUnreachableCode),
                rest.newCodes.end());
            mails.push_back({{std::move(rest)}, {}});
        }
    }
    return mails;
}

}  // namespace plenvo::alerts
