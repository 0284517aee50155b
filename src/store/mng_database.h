#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/core/run_context.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/files/base_folder.h"
#include "store/sqlite.h"

namespace plenvo::store {

// The management database file in the base folder.
std::filesystem::path mngPath(const platform::BaseFolder& base);

// One connection per routine call, closed when it goes out of scope. Throws
// DbError when the file is missing: the console never makes the database.
Connection openMng(const platform::BaseFolder& base);

// The console's turn to write the database: the passes and the windows take
// turns, so a window never writes while a pass is writing. Hold it briefly.
[[nodiscard]] inline std::unique_lock<std::mutex> writeTurn(const platform::RunContext& ctx) {
    return std::unique_lock<std::mutex>(ctx.writeTurns);
}

// The backup destinations the administrator listed (ToBkupList), in the order
// added: the only folders, and the servers of the only folders, that the
// console follows an agent to.
std::vector<std::string> listedDestinations(Connection& db);

// The account of the base folder's SmbAuth.conf, offered only to the servers
// of the listed destinations (to none when Mng.mdb cannot be read). Never throws.
platform::NetworkSignIn listedServersSignIn(const platform::BaseFolder& base,
                                            platform::FailureLog& failures);

// Lays out a new management database with its seven tables, the audit table
// and the texts of the error codes. An existing file is left as it is; returns false then.
bool installMngDatabase(const std::filesystem::path& path);

}  // namespace plenvo::store
