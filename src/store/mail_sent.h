#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "store/sqlite.h"

namespace plenvo::store {

// What the mail alerts last told of each agent: per host and user ID, the
// codes the last mail carried (less those gone since) and when it was sent.
// The table is the console's own addition to the installed database, made
// when first needed; an older one gains the column ClearedUpdt.
void ensureMailSentTable(Connection& db);

struct MailMemory {
    std::string codes;  // "14,15", "" after a recovery
    // Set by "エラー情報削除": the row's UPDT then. While the agent has not
    // reported since, empty codes are the clearing's, not a recovery.
    std::optional<std::string> clearedUpdt;
};

// By host and user ID.
using SentCodes = std::map<std::pair<std::string, std::string>, MailMemory>;
SentCodes loadMailSent(Connection& db);

// Keeps the codes for the pair; `sentAt` is a stored date text, or empty to
// keep the time of the last mail (codes that went without a mail). A mark of
// clearing stays.
void recordMailSent(Connection& db, const std::string& host, const std::string& user,
                    const std::string& codes, const std::string& sentAt);

// The agent reported after a clearing: its codes count as they are again.
void endClearing(Connection& db, const std::string& host, const std::string& user);

// Called with the clearing of every UserLog code, in its transaction: marks
// every agent told of codes, so that the codes going is no recovery and their
// coming back no news.
void markClearing(Connection& db);

// The day's summary mail: whether one went out on `day` (as "2026-12-08"),
// and keeping that one did, so that a restart never sends it twice. The
// table is made when first needed.
bool summarySentOn(Connection& db, const std::string& day);
void recordSummarySent(Connection& db, const std::string& day, const std::string& sentAt);

}  // namespace plenvo::store
