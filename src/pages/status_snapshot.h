#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pages/agent_status_list.h"
#include "platform/core/clock.h"

namespace plenvo::pages {

// What the monitoring exports tell, read once and handed to each writer.
// An absent value is nullopt: the writers show it as null or leave it out.

// One ShareDriveInfo row.
struct ShareStatus {
    std::optional<std::string> server, share, localPath;
    std::optional<double> sizeBytes, freeBytes, usageRate;  // usageRate in percent
    std::optional<double> daysUntilFull, daysUntil07;       // unknown while not growing
};

// The last pass of one kind, as the pass thread keeps it.
struct PassFigures {
    std::string kind;  // "import", "checks"
    std::optional<double> lastDurationSeconds;
    std::optional<platform::LocalTime> lastSuccess;
};

// Takes the text written so far and leaves the string empty: the writers hand
// over their text in pieces, so 100,000 agents never sit in memory as one text.
using TextSpill = std::function<void(std::string&)>;
inline constexpr size_t kSpillSize = 256 * 1024;

struct StatusSnapshot {
    platform::LocalTime updated;
    AgentStatusList agents;
    std::vector<ShareStatus> shares;
    std::vector<PassFigures> passes;
    // Removable media requests that wait for the administrator.
    std::optional<double> requestsPending;
};

}  // namespace plenvo::pages
