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
    std::vector<std::string> keep;      // what the alerts remember as told afterwards
};

// `now`: the row's codes; `told`: the codes kept from its last alert.
// `cleared`: the codes were cleared by hand since and the agent has not
// reported after: codes gone are the clearing's, and codes back are no news.
AlertDecision decide(const std::vector<std::string>& now, const std::vector<std::string>& told,
                     bool cleared = false);

// The fields of a UserLog row that a mail shows.
struct AgentRow {
    std::string host, user, userName, mailId, destination, reported;
    std::vector<std::string> codes;
};

// A mail that is due: the row, its kind, its new codes, what was told before
// and what is remembered once it is queued.
struct DueAlert {
    AgentRow row;
    AlertKind kind = AlertKind::problem;
    std::vector<std::string> newCodes;
    std::vector<std::string> told, keep;
};

// Where a destination lives, as one cause shared by the agents there: the
// server ("\\SRV01") of a UNC path, the drive ("D:") of a drive path; empty
// for anything else.
std::string causePlace(std::string_view destination);

// The code of a destination folder that cannot be reached.
inline constexpr const char* kUnreachableCode = "08";

// The mails a pass's due alerts become, in order. Agents whose destination
// became unreachable on one server (or drive) in the same pass share one mail,
// as do agents whose only code, that one, went; their other new codes still
// get a mail of their own.
struct PlannedMail {
    std::vector<DueAlert> alerts;  // one, or the agents of a shared cause
    std::string place;             // the shared cause's place; empty for one agent's mail
};
std::vector<PlannedMail> planMails(const std::vector<DueAlert>& due);

// The texts of the codes (MailTextMST) by code.
using CodeTitles = std::map<std::string, std::string>;

}  // namespace plenvo::alerts
