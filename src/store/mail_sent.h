#pragma once

#include <map>
#include <string>
#include <utility>

#include "store/sqlite.h"

namespace plenvo::store {

// What the mail alerts last told of each agent: per host and user ID, the
// codes the last mail carried (less those gone since) and when it was sent.
// The table is the console's own addition to the installed database, made
// when first needed.
void ensureMailSentTable(Connection& db);

// Codes ("14,15", "" after a recovery) by host and user ID.
using SentCodes = std::map<std::pair<std::string, std::string>, std::string>;
SentCodes loadMailSent(Connection& db);

// Keeps the codes for the pair; `sentAt` is a stored date text, or empty to
// keep the time of the last mail (codes that went without a mail).
void recordMailSent(Connection& db, const std::string& host, const std::string& user,
                    const std::string& codes, const std::string& sentAt);

// The day's summary mail: whether one went out on `day` (as "2026-12-08"),
// and keeping that one did, so that a restart never sends it twice. The
// table is made when first needed.
bool summarySentOn(Connection& db, const std::string& day);
void recordSummarySent(Connection& db, const std::string& day, const std::string& sentAt);

}  // namespace plenvo::store
