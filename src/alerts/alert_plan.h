#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::alerts {

// The codes of an error-code list, in order, each once, empty entries left out.
std::vector<std::string> codesOf(std::string_view erNo);
std::string joinedCodes(const std::vector<std::string>& codes);

// What one UserLog row asks of the mail alerts now.
enum class AlertKind {
    none,      // nothing new
    problem,   // codes it has now and had not at its last alert
    recovery,  // its last code went
    forget,    // some codes went, others stay: no mail, but a code that comes back is new again
};

struct AlertDecision {
    AlertKind kind = AlertKind::none;
    std::vector<std::string> newCodes;  // for a problem
};

// `now`: the row's codes; `told`: the codes kept from its last alert.
AlertDecision decide(const std::vector<std::string>& now, const std::vector<std::string>& told);

// The fields of a UserLog row that a mail shows.
struct AgentRow {
    std::string host, user, userName, mailId, destination, reported;
    std::vector<std::string> codes;
};

// A mail that is due: the row, its kind and its new codes.
struct DueAlert {
    AgentRow row;
    AlertKind kind = AlertKind::problem;
    std::vector<std::string> newCodes;
};

// The texts of the codes (MailTextMST) by code.
using CodeTitles = std::map<std::string, std::string>;

}  // namespace plenvo::alerts
