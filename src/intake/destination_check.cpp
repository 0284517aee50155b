#include "intake/destination_check.h"

#include <optional>
#include <vector>

#include "intake/error_codes.h"
#include "platform/bounded_access.h"
#include "platform/file_system.h"
#include "platform/unc_path.h"
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
            ctx.failures.report("BkdtChk", "UPDT '" + *row.updt + "' is no date");
            return list;
        }
        if (store::daysBetween(*reported, ctx.clock.now()) >= kStaleDays)
            return hasCode(list, kStale) ? list : withCode(list, kStale);
    }
    return hasCode(list, kStale) ? withoutCode(list, kStale) : list;
}

// Code "08" follows whether the destination folder can be seen from here; an
// unreachable server or share counts as a missing folder.
std::string withReachCode(const CheckedRow& row, platform::ShareLookup& shares,
                          platform::BoundedFileAccess& access, std::string list) {
    if (row.toBkup.empty()) return list;
    const auto folder = platform::localPathOf(row.toBkup, shares);
    if (!folder || !access.folderExists(*folder))
        return hasCode(list, kUnreachable) ? list : withCode(list, kUnreachable);
    return hasCode(list, kUnreachable) ? withoutCode(list, kUnreachable) : list;
}

}  // namespace

void BkdtChk(const platform::RunContext& ctx, const platform::ShareLookup::Source& shares) {
    std::optional<store::Connection> db;
    std::vector<CheckedRow> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows = oldestReportFirst(*db);
    } catch (const std::exception& e) {
        ctx.failures.report("BkdtChk", e.what());
        return;
    }

    platform::ShareLookup lookup(shares);
    platform::BoundedFileAccess access(lookup.mounts());
    try {
        store::Transaction tx(*db);
        store::Statement save = db->prepare("UPDATE UserLog SET ErNo = ?1 WHERE rowid = ?2");
        for (const CheckedRow& row : rows) {
            try {
                const std::string list =
                    withReachCode(row, lookup, access, withAgeCode(ctx, row, row.erNo));
                if (list == row.erNo) continue;
                save.reset();
                save.bind(1, list).bind(2, store::DbValue{row.rowid});
                save.run();
            } catch (const std::exception& e) {
                ctx.failures.report("BkdtChk",
                                    "row " + std::to_string(row.rowid) + ": " + e.what());
            }
        }
        tx.commit();
    } catch (const std::exception& e) {
        ctx.failures.report("BkdtChk", e.what());
    }
}

}  // namespace plenvo::intake
