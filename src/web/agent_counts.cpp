#include "web/agent_counts.h"

#include <string>

namespace plenvo::web {
namespace {

std::int64_t countFor(store::Connection& db, const char* sql) {
    auto st = db.prepare(sql);
    return st.step() ? st.integer(0).value_or(0) : 0;
}

// Codes are stored as "07,15": a comma around each makes one a word.
std::int64_t withCode(store::Connection& db, const char* code) {
    auto st = db.prepare("SELECT count(*) FROM UserLog WHERE ',' || ErNo || ',' LIKE ?1");
    st.bind(1, std::string("%,") + code + ",%");
    return st.step() ? st.integer(0).value_or(0) : 0;
}

}  // namespace

AgentCounts countAgents(store::Connection& db) {
    AgentCounts counts;
    counts.total = countFor(db, "SELECT count(*) FROM UserLog");
    counts.withCodes =
        countFor(db, "SELECT count(*) FROM UserLog WHERE ErNo IS NOT NULL AND ErNo <> ''");
    counts.ok = counts.total - counts.withCodes;
    counts.stale = withCode(db, "15");
    counts.unreachable = withCode(db, "08");
    counts.requestsPending = countFor(db, "SELECT count(*) FROM RemList_Add");
    return counts;
}

}  // namespace plenvo::web
