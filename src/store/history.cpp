#include "store/history.h"

#include <charconv>

#include "platform/core/ascii_case.h"
#include "platform/text/text_file.h"
#include "store/date_time.h"

namespace plenvo::store {
namespace {

// Times as the store writes dates, in this machine's local time, so that the
// rows sort and compare with UPDT.
constexpr const char* kHistorySchema = R"SQL(
CREATE TABLE IF NOT EXISTS AgentHistory (
    At DATETIME, ComNM TEXT, UserID TEXT, UPDT DATETIME, RSRT TEXT, ErNo TEXT, ToBkup TEXT,
    ErNoBefore TEXT);
CREATE INDEX IF NOT EXISTS AgentHistory_Key ON AgentHistory (ComNM COLLATE NOCASE, UserID COLLATE NOCASE, At);
CREATE INDEX IF NOT EXISTS AgentHistory_At ON AgentHistory (At);
CREATE INDEX IF NOT EXISTS AgentHistory_Changes ON AgentHistory (At)
    WHERE IFNULL(ErNo, '') <> IFNULL(ErNoBefore, '');
CREATE TABLE IF NOT EXISTS ShareHistory (At DATETIME, ComNM TEXT, SharePath TEXT, DrvSize DOUBLE, DrvSpace DOUBLE);
CREATE INDEX IF NOT EXISTS ShareHistory_Key ON ShareHistory (SharePath COLLATE NOCASE, At);
CREATE INDEX IF NOT EXISTS ShareHistory_At ON ShareHistory (At);
CREATE TRIGGER IF NOT EXISTS AgentHistory_Added AFTER INSERT ON UserLog BEGIN
    INSERT INTO AgentHistory VALUES (datetime('now', 'localtime'), new.ComNM, new.UserID,
                                     new.UPDT, new.RSRT, new.ErNo, new.ToBkup, NULL);
END;
CREATE TRIGGER IF NOT EXISTS AgentHistory_Changed AFTER UPDATE ON UserLog
WHEN old.UPDT IS NOT new.UPDT OR old.RSRT IS NOT new.RSRT OR old.ErNo IS NOT new.ErNo
     OR old.ToBkup IS NOT new.ToBkup BEGIN
    INSERT INTO AgentHistory VALUES (datetime('now', 'localtime'), new.ComNM, new.UserID,
                                     new.UPDT, new.RSRT, new.ErNo, new.ToBkup, old.ErNo);
END;
CREATE TRIGGER IF NOT EXISTS ShareHistory_Surveyed AFTER UPDATE OF DrvSize, DrvSpace ON ShareDriveInfo
WHEN new.DrvSize > 0 BEGIN
    INSERT INTO ShareHistory VALUES (datetime('now', 'localtime'), new.ComNM, new.SharePath,
                                     new.DrvSize, new.DrvSpace);
END;
)SQL";

constexpr int kMostDays = 36500;

}  // namespace

void ensureHistoryTables(Connection& db) {
    Transaction tx(db);
    // A table from before the codes it replaced were kept: the column comes,
    // and the triggers are made anew to fill it.
    if (db.tableExists("AgentHistory")) {
        Statement columns = db.prepare(
            "SELECT 1 FROM pragma_table_info('AgentHistory') "
            "WHERE name = 'ErNoBefore'");
        if (!columns.step()) {
            columns.reset();
            db.exec(
                "ALTER TABLE AgentHistory ADD COLUMN ErNoBefore TEXT;"
                "DROP TRIGGER IF EXISTS AgentHistory_Added;"
                "DROP TRIGGER IF EXISTS AgentHistory_Changed;");
        }
    }
    db.exec(kHistorySchema);
    tx.commit();
}

int historyDays(const platform::BaseFolder& base) {
    try {
        platform::TextReader reader(base.at("\\Console.ini"), 4096);
        std::string line;
        bool inHistory = false;
        while (reader.readLine(line)) {
            const std::string bare(platform::trimmedBlanks(line));
            if (bare.starts_with('[')) {
                inHistory = platform::sameIgnoringAsciiCase(bare, "[History]");
                continue;
            }
            const auto equals = bare.find('=');
            if (!inHistory || equals == std::string::npos) continue;
            if (!platform::sameIgnoringAsciiCase(
                    platform::trimmedBlanks(std::string_view(bare).substr(0, equals)),
                    "HistoryDays"))
                continue;
            const std::string value(
                platform::trimmedBlanks(std::string_view(bare).substr(equals + 1)));
            int days = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), days);
            if (ec == std::errc() && end == value.data() + value.size() && days >= 1 &&
                days <= kMostDays)
                return days;
            return kDefaultHistoryDays;
        }
    } catch (const std::exception&) {
        // No Console.ini: the default.
    }
    return kDefaultHistoryDays;
}

std::size_t pruneHistory(Connection& db, const platform::LocalTime& now, int days,
                         std::size_t rowsPerStep, int steps) {
    const std::string before = storedText(minusDays(now, days));
    std::size_t deleted = 0;
    for (const char* table : {"AgentHistory", "ShareHistory"}) {
        Statement st =
            db.prepare(std::string("DELETE FROM ") + table + " WHERE rowid IN (SELECT rowid FROM " +
                       table + " WHERE At < ?1 ORDER BY At LIMIT ?2)");
        for (int step = 0; step < steps; ++step) {
            st.reset();
            st.bind(1, before).bind(2, DbValue{static_cast<std::int64_t>(rowsPerStep)});
            st.run();
            const auto gone = static_cast<std::size_t>(db.changes());
            deleted += gone;
            if (gone < rowsPerStep) break;
        }
    }
    return deleted;
}

std::vector<SharePoint> shareHistory(Connection& db, const std::string& sharePath,
                                     const platform::LocalTime& since) {
    std::vector<SharePoint> points;
    Statement st = db.prepare(
        "SELECT At, DrvSize, DrvSpace FROM ShareHistory WHERE SharePath = ?1 COLLATE NOCASE "
        "AND At >= ?2 ORDER BY At");
    st.bind(1, sharePath).bind(2, storedText(since));
    while (st.step()) {
        const auto at = fromStoredText(st.text(0).value_or(""));
        if (!at) continue;
        points.push_back({*at, st.number(1).value_or(0), st.number(2).value_or(0)});
    }
    return points;
}

std::vector<AgentMoment> agentHistory(Connection& db, const std::string& host,
                                      const std::string& user, const platform::LocalTime& since,
                                      std::size_t limit) {
    std::vector<AgentMoment> moments;
    if (!db.tableExists("AgentHistory")) return moments;
    const std::string from = storedText(since);
    Statement st = db.prepare(
        "SELECT At, UPDT, RSRT, ErNo FROM ("
        " SELECT rowid, At, UPDT, RSRT, ErNo FROM AgentHistory"
        "  WHERE ComNM = ?1 COLLATE NOCASE AND UserID = ?2 COLLATE NOCASE AND At < ?3"
        "  ORDER BY At DESC, rowid DESC LIMIT 1)"
        " UNION ALL SELECT At, UPDT, RSRT, ErNo FROM ("
        " SELECT rowid, At, UPDT, RSRT, ErNo FROM AgentHistory"
        "  WHERE ComNM = ?1 COLLATE NOCASE AND UserID = ?2 COLLATE NOCASE AND At >= ?3"
        "  ORDER BY At, rowid LIMIT ?4)");
    st.bind(1, host).bind(2, user).bind(3, from).bind(4, DbValue{static_cast<std::int64_t>(limit)});
    while (st.step()) {
        const auto at = fromStoredText(st.text(0).value_or(""));
        if (!at) continue;
        moments.push_back(
            {*at, st.text(1).value_or(""), st.text(2).value_or(""), st.text(3).value_or("")});
    }
    return moments;
}

std::vector<CodesChange> codesChangedSince(Connection& db, const platform::LocalTime& since,
                                           std::size_t limit) {
    std::vector<CodesChange> changes;
    if (!db.tableExists("AgentHistory")) return changes;
    // Each row keeps the codes it replaced, and the changes have an index of
    // their own: the span's changes alone are read, however long the history.
    Statement st = db.prepare(
        "SELECT ComNM, UserID, max(At), IFNULL(ErNo, ''), IFNULL(ErNoBefore, '')"
        " FROM AgentHistory INDEXED BY AgentHistory_Changes WHERE At >= ?1 AND IFNULL(ErNo, '') <> "
        "IFNULL(ErNoBefore, '')"
        " GROUP BY ComNM COLLATE NOCASE, UserID COLLATE NOCASE ORDER BY max(At) DESC LIMIT ?2");
    st.bind(1, storedText(since)).bind(2, DbValue{static_cast<std::int64_t>(limit)});
    while (st.step())
        changes.push_back({st.text(0).value_or(""), st.text(1).value_or(""),
                           st.text(2).value_or(""), st.text(3).value_or(""),
                           st.text(4).value_or("")});
    return changes;
}

}  // namespace plenvo::store
