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

}  // namespace plenvo::store
