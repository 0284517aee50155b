#pragma once

#include <cstdint>

#include "store/sqlite.h"

namespace plenvo::web {

// The agents by what needs the administrator, and the requests that wait.
struct AgentCounts {
    std::int64_t total = 0;
    std::int64_t ok = 0;  // no code
    std::int64_t withCodes = 0;
    std::int64_t stale = 0;        // code 15: no report for a week
    std::int64_t unreachable = 0;  // code 08: the destination cannot be reached
    std::int64_t requestsPending = 0;
};

AgentCounts countAgents(store::Connection& db);

}  // namespace plenvo::web
