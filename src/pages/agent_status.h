#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"

namespace plenvo::pages {

struct CodeStatus {
    std::string code;
    std::optional<std::string> title;  // MailTextMST's Title
    bool operator==(const CodeStatus&) const = default;
};

// One UserLog row as the monitoring exports tell it. An absent value is
// nullopt: the writers show it as null or leave it out.
struct AgentStatus {
    std::optional<std::string> host, userId, userName, agentVersion, destination;
    std::optional<platform::LocalTime> lastReport;
    std::optional<long> daysSince;          // midnights passed since the last report
    std::optional<double> achievementRate;  // percent, from RSRT
    std::string state;                      // the backup list page's state word
    std::vector<CodeStatus> codes;
    bool operator==(const AgentStatus&) const = default;
};

}  // namespace plenvo::pages
