#include "intake/result_import.h"

#include <chrono>
#include <mutex>
#include <optional>

#include "intake/error_codes.h"
#include "intake/result_file.h"
#include "platform/file_system.h"
#include "store/mng_database.h"

namespace plenvo::intake {
namespace {

using store::Connection;
using store::DbValue;
using store::Statement;

bool hasTxtExtension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail == ".TXT";
}

// Fields written from the report, in the table's key order, then FileNM, ErNo, UPDT.
std::string columnList() {
    std::string columns;
    for (const auto& key : kResultKeys) {
        if (key.field == "ErNo" || key.field == "UPDT") continue;
        columns += std::string(key.field) + ",";
    }
    return columns + "FileNM,ErNo,UPDT";
}

constexpr int kWrittenColumns =
    static_cast<int>(kResultKeyCount) + 1;  // 49 report fields, FileNM, ErNo, UPDT

class RowWriter {
  public:
    explicit RowWriter(Connection& db)
        : lookup_(
              db.prepare("SELECT rowid, ErNo, UPDT FROM UserLog WHERE ComNM = ?1 COLLATE NOCASE "
                         "AND UserID = ?2 COLLATE NOCASE "
                         "ORDER BY rowid LIMIT 1")),
          insert_(db.prepare(insertSql())),
          update_(db.prepare(updateSql())) {}

    void write(const ParsedReport& report, const std::string& fileNm) {
        lookup_.reset();
        lookup_.bind(1, *report.text(kComNM)).bind(2, *report.text(kUserID));
        std::optional<std::int64_t> rowid;
        std::string current;
        DbValue storedUpdt;
        if (lookup_.step()) {
            rowid = lookup_.integer(0);
            current = lookup_.text(1).value_or("");
            storedUpdt = lookup_.value(2);
        }
        lookup_.reset();

        const std::string list =
            importedCodes(current, agentCodes(report.text(kErNo) ? *report.text(kErNo) : ""));

        Statement& st = rowid ? update_ : insert_;
        st.reset();
        int index = 1;
        for (size_t k = 0; k < kResultKeyCount; ++k)
            if (k != kErNo && k != kUPDT) st.bind(index++, report.values[k]);
        st.bind(index++, fileNm);
        st.bind(index++, list);
        st.bind(index++, updtValue(report, storedUpdt));
        if (rowid) st.bind(index, DbValue{*rowid});
        st.run();
    }

  private:
    static std::string insertSql() {
        std::string marks;
        for (int i = 0; i < kWrittenColumns; ++i) marks += i ? ",?" : "?";
        return "INSERT INTO UserLog (" + columnList() + ") VALUES (" + marks + ")";
    }

    static std::string updateSql() {
        std::string sets;
        const std::string columns = columnList() + ",";
        size_t start = 0;
        for (size_t end; (end = columns.find(',', start)) != std::string::npos; start = end + 1)
            sets += (sets.empty() ? "" : ",") + columns.substr(start, end - start) + "=?";
        return "UPDATE UserLog SET " + sets + " WHERE rowid=?";
    }

    // A time that is no date leaves the stored one, so the row's age still counts;
    // a report without a time line has none.
    static DbValue updtValue(const ParsedReport& report, const DbValue& stored) {
        if (std::holds_alternative<std::monostate>(report.values[kUPDT]) && report.refused[kUPDT])
            return stored;
        return report.values[kUPDT];
    }

    Statement lookup_;
    Statement insert_;
    Statement update_;
};

// The pass writes in short turns, each one transaction, so a window that wants
// to write waits a moment at most; each file stays whole in one turn.
class ImportTurns {
  public:
    static constexpr auto kTurnLength = std::chrono::milliseconds(100);

    ImportTurns(const platform::RunContext& ctx, Connection& db) : ctx_(ctx), db_(db) {}

    // Before a file is written: a turn is open, and a long one handed back first.
    void take() {
        if (tx_ && std::chrono::steady_clock::now() - started_ > kTurnLength) commit();
        if (tx_) return;
        turn_ = store::writeTurn(ctx_);
        tx_.emplace(db_);
        started_ = std::chrono::steady_clock::now();
    }

    void commit() {
        if (!tx_) return;
        // A failed commit rolls the turn back and still hands it on.
        const std::unique_lock<std::mutex> turn = std::move(turn_);
        try {
            tx_->commit();
        } catch (...) {
            tx_.reset();
            throw;
        }
        tx_.reset();
    }

    // SQLite rolled the open turn back on its own (a full disk does that):
    // what was written in it is gone, and going on would write without one.
    bool lost() const { return tx_ && !db_.inTransaction(); }

  private:
    const platform::RunContext& ctx_;
    Connection& db_;
    std::unique_lock<std::mutex> turn_;
    std::optional<store::Transaction> tx_;
    std::chrono::steady_clock::time_point started_;
};

std::string mngFolder(const platform::RunContext& ctx) {
    return store::mngPath(ctx.base).parent_path().string();
}

// The rows of the open turn are gone: the pass ends here and the next one
// takes every file again.
void stopPass(const platform::RunContext& ctx, const std::string& why, const std::exception& e) {
    ctx.failures.report("MdbUpdt", why + " (" + e.what() + "); the next pass tries again");
}

}  // namespace

void MdbUpdt(const platform::RunContext& ctx, WorkAnimation& animation) {
    std::optional<Connection> db;
    try {
        db.emplace(store::openMng(ctx.base));
    } catch (const std::exception& e) {
        ctx.failures.report("MdbUpdt", e.what());
    }

    const auto folder = ctx.base.at("\\OrvShare\\RST");
    const auto listing = platform::listFiles(folder);
    if (!listing) {
        ctx.failures.report("MdbUpdt", "cannot list " + folder.string());
        return;
    }

    AnimationRun run(animation);
    std::optional<ImportTurns> turns;
    std::optional<RowWriter> writer;
    if (db) {
        try {
            writer.emplace(*db);
            turns.emplace(ctx, *db);
        } catch (const std::exception& e) {
            ctx.failures.report("MdbUpdt", e.what());
            writer.reset();
        }
    }

    for (const std::string& name : *listing) {
        // Ending: every file taken so far is complete in the database.
        if (ctx.stopRequested()) break;
        run.step();
        if (!hasTxtExtension(name)) continue;
        const auto path = folder / name;
        try {
            if (!platform::fileExists(path)) continue;
            const ParsedReport report = readResultFile(path);
            if (report.overlongLines)
                ctx.failures.report("MdbUpdt", name + ": " + std::to_string(report.overlongLines) +
                                                   " overlong line(s) passed over");
            if (report.droppedCodes)
                ctx.failures.report("MdbUpdt",
                                    name + ": " + std::to_string(report.droppedCodes) +
                                        " ErNo piece(s) that are no two-digit code dropped");
            if (!report.text(kComNM) || !report.text(kUserID)) {
                ctx.failures.report("MdbUpdt", name + ": no ComNM or UserID, no row written");
                continue;
            }
            if (!writer) continue;
            turns->take();
            store::Savepoint unit(*db);
            writer->write(report, path.string());
            unit.release();
        } catch (const store::DbFullError& e) {
            return stopPass(ctx, "no space left on " + mngFolder(ctx), e);
        } catch (const std::exception& e) {
            if (turns && turns->lost()) return stopPass(ctx, "the pass's transaction was lost", e);
            ctx.failures.report("MdbUpdt", name + ": " + e.what());
        }
    }

    if (turns) {
        try {
            turns->commit();
        } catch (const store::DbFullError& e) {
            stopPass(ctx, "no space left on " + mngFolder(ctx), e);
        } catch (const std::exception& e) {
            ctx.failures.report("MdbUpdt", e.what());
        }
    }
}

}  // namespace plenvo::intake
