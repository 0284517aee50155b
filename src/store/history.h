#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/files/base_folder.h"
#include "store/sqlite.h"

namespace plenvo::store {

// The past of every agent and share, beside the tables the pages read.
// AgentHistory gets a row whenever an agent's row is added or its report,
// rate, codes or destination change (an import or a check); ShareHistory one
// per share per survey. Triggers write them, so every writer is covered.
// Made at every start when missing: an older Mng.mdb gains them.
void ensureHistoryTables(Connection& db);

// How many days the history keeps: HistoryDays= in the [History] section of
// Console.ini in the base folder; kDefaultHistoryDays when absent or not a
// number from 1 to 36500.
inline constexpr int kDefaultHistoryDays = 400;
int historyDays(const platform::BaseFolder& base);

// Deletes rows older than `days` before `now`, at most `rowsPerStep` a write
// and `steps` writes a call, so that no write holds the database for long;
// what is left goes at the next call. Returns the rows deleted. Take the
// write turn around each call.
std::size_t pruneHistory(Connection& db, const platform::LocalTime& now, int days,
                         std::size_t rowsPerStep = 1000, int steps = 20);

// One survey of a share: when, and its size and free bytes.
struct SharePoint {
    platform::LocalTime at;
    double size = 0;
    double free = 0;
};

// The surveys of the share since `since`, oldest first.
std::vector<SharePoint> shareHistory(Connection& db, const std::string& sharePath,
                                     const platform::LocalTime& since);

// One row of an agent's history.
struct AgentMoment {
    platform::LocalTime at;
    std::string updt;   // the report's time as stored
    std::string rate;   // RSRT as the agent wrote it ("80%")
    std::string codes;  // ErNo
};

// The agent's rows since `since`, oldest first, with the last one before it
// (where the codes stood when the span began); at most `limit`.
std::vector<AgentMoment> agentHistory(Connection& db, const std::string& host,
                                      const std::string& user, const platform::LocalTime& since,
                                      std::size_t limit = 5000);

// An agent whose codes changed: what they are now and were before.
struct CodesChange {
    std::string host, user, at, codes, before;
};

// The agents whose codes changed since `since`, latest change first, one
// entry each, at most `limit`.
std::vector<CodesChange> codesChangedSince(Connection& db, const platform::LocalTime& since,
                                           std::size_t limit = 200);

}  // namespace plenvo::store
