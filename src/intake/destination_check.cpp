#include "intake/destination_check.h"

#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "intake/error_codes.h"
#include "platform/network/folder_reach.h"
#include "platform/paths/windows_path.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::intake {
namespace {

constexpr const char* kStale = "15";
constexpr const char* kUnreachable = "08";
constexpr long kStaleDays = 7;

struct CheckedRow {
    std::int64_t rowid = 0;
    std::string erNo;
    std::optional<std::string> updt;
    std::string toBkup;
};

std::vector<CheckedRow> oldestReportFirst(store::Connection& db) {
    std::vector<CheckedRow> rows;
    store::Statement st =
        db.prepare("SELECT rowid, ErNo, UPDT, ToBkup FROM UserLog ORDER BY UPDT, rowid");
    while (st.step())
        rows.push_back(
            {*st.integer(0), st.text(1).value_or(""), st.text(2), st.text(3).value_or("")});
    return rows;
}

// Code "15" follows the report's age in midnights passed. An unreadable date
// leaves the code as it is and is told.
std::string withAgeCode(const platform::RunContext& ctx, const CheckedRow& row, std::string list) {
    if (row.updt && !row.updt->empty()) {
        const auto reported = store::parseDateTime(*row.updt);
        if (!reported) {
            ctx.failures.report("destination check", "UPDT '" + *row.updt + "' is no date");
            return list;
        }
        if (store::daysBetween(*reported, ctx.clock.now()) >= kStaleDays)
            return hasCode(list, kStale) ? list : withCode(list, kStale);
    }
    return hasCode(list, kStale) ? withoutCode(list, kStale) : list;
}

// Code "08" follows whether the destination folder can be seen from here; an
// unreachable server or share counts as a missing folder.
std::string withReachCode(const CheckedRow& row, bool reached, std::string list) {
    if (row.toBkup.empty()) return list;
    if (!reached) return hasCode(list, kUnreachable) ? list : withCode(list, kUnreachable);
    return hasCode(list, kUnreachable) ? withoutCode(list, kUnreachable) : list;
}

// Whether each row's destination folder exists, asked before anything is
// written, each folder once, the servers several at a time.
std::vector<char> reachDestinations(const platform::RunContext& ctx,
                                    const std::vector<CheckedRow>& rows,
                                    platform::ShareLookup& lookup) {
    constexpr std::size_t kNoFolder = static_cast<std::size_t>(-1);
    std::vector<std::string> folders;
    std::vector<std::size_t> folderOfRow(rows.size(), kNoFolder);
    {
        // Views of the rows' own texts: 100,000 destinations are held once.
        std::unordered_map<std::string_view, std::size_t> index;
        index.reserve(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].toBkup.empty()) continue;
            const auto [at, added] = index.try_emplace(rows[i].toBkup, folders.size());
            if (added) folders.push_back(rows[i].toBkup);
            folderOfRow[i] = at->second;
        }
    }
    // Servers the survey already found silent were told there.
    std::set<std::string> toldBefore;
    for (const auto& folder : folders)
        if (lookup.isSilent(platform::serverOf(folder)))
            toldBefore.insert(platform::lowerCase(platform::serverOf(folder)));
    // One byte each: a vector<bool> may not be written from several threads.
    std::vector<char> exists(folders.size(), 0);
    platform::reachEach(folders, lookup, [&](size_t i, platform::FolderReach& reach) {
        if (!ctx.stopRequested()) exists[i] = reach.folderExists(folders[i]);
    });
    for (const auto& folder : folders) {
        const std::string server = platform::serverOf(folder);
        if (!server.empty() && lookup.isSilent(server) &&
            toldBefore.insert(platform::lowerCase(server)).second)
            ctx.failures.report("destination check",
                                "\\\\" + server +
                                    " could not be asked (no answer in time, or the "
                                    "sign-in was refused): its folders count as missing");
    }
    std::vector<char> reached(rows.size(), 0);
    for (std::size_t i = 0; i < rows.size(); ++i)
        reached[i] = folderOfRow[i] != kNoFolder && exists[folderOfRow[i]] != 0;
    return reached;
}

}  // namespace

void checkDestinations(const platform::RunContext& ctx, const platform::ShareLookup::Source& shares,
                       platform::ShareLookup* pass) {
    std::optional<store::Connection> db;
    std::vector<CheckedRow> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows = oldestReportFirst(*db);
    } catch (const std::exception& e) {
        ctx.failures.report("destination check", e.what());
        return;
    }

    std::optional<platform::ShareLookup> own;
    if (!pass) shares ? own.emplace(shares) : own.emplace();
    const auto reached = reachDestinations(ctx, rows, pass ? *pass : *own);
    try {
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(*db);
        store::Statement save = db->prepare("UPDATE UserLog SET ErNo = ?1 WHERE rowid = ?2");
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (ctx.stopRequested()) break;
            const CheckedRow& row = rows[i];
            try {
                const std::string list =
                    withReachCode(row, reached[i] != 0, withAgeCode(ctx, row, row.erNo));
                if (list == row.erNo) continue;
                save.reset();
                save.bind(1, list).bind(2, store::DbValue{row.rowid});
                save.run();
            } catch (const std::exception& e) {
                ctx.failures.report("destination check",
                                    "row " + std::to_string(row.rowid) + ": " + e.what());
            }
        }
        tx.commit();
    } catch (const std::exception& e) {
        ctx.failures.report("destination check", e.what());
    }
}

}  // namespace plenvo::intake
