#include "intake/result_import.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "intake/error_codes.h"
#include "intake/result_file.h"
#include "platform/files/file_system.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"
#include "store/pass_memory.h"

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

// A read transaction: one view of the database until it ends.
class Reading {
  public:
    explicit Reading(Connection& db) : db_(db) { db_.exec("BEGIN"); }
    ~Reading() {
        try {
            db_.exec("COMMIT");
        } catch (...) {
        }
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

  private:
    Connection& db_;
};

class RowWriter {
  public:
    // With `digests`, each row looked up or written is digested for the memory.
    explicit RowWriter(Connection& db, bool digests = false)
        : db_(db),
          lookup_(prepareLookup(db, digests)),
          insert_(db.prepare(insertSql())),
          update_(db.prepare(updateSql())),
          units_(db) {
        if (digests)
            readBack_.emplace(db.prepare("SELECT row_digest(" + columnList() +
                                         ") FROM UserLog WHERE rowid = ?1"));
    }

    // Looks the file's row up; false when it already holds every value, so
    // that nothing needs writing.
    bool differs(const ParsedReport& report, const std::string& fileNm) {
        report_ = &report;
        fileNm_ = &fileNm;
        // Reset on every way out: it holds the report's texts uncopied.
        struct Done {
            Statement& st;
            ~Done() { st.reset(); }
        } done{lookup_};
        lookup_.bindUncopied(1, *report.text(kComNM)).bindUncopied(2, *report.text(kUserID));
        rowid_.reset();
        bool same = false;
        if (lookup_.step()) {
            rowid_ = lookup_.integer(0);
            if (readBack_) digest_ = lookup_.text(kDigestColumn).value_or("");
            // Asked before reading it as text: a conversion would blur the answer.
            const bool codesAreText = lookup_.isText(kErNoColumn);
            list_ = importedCodes(lookup_.view(kErNoColumn), agentCodesOf(report));
            updt_ = updtValue(report, lookup_.value(kUpdtColumn));
            same = codesAreText && holdsAll(report, fileNm, list_, updt_);
        } else {
            list_ = importedCodes("", agentCodesOf(report));
            updt_ = updtValue(report, DbValue{});
        }
        return !same;
    }

    // Writes the row differs() looked at.
    void write() {
        Statement& st = rowid_ ? update_ : insert_;
        st.reset();
        int index = 1;
        for (size_t k = 0; k < kResultKeyCount; ++k)
            if (k != kErNo && k != kUPDT) st.bind(index++, report_->values[k]);
        st.bind(index++, *fileNm_);
        st.bind(index++, list_);
        st.bind(index++, updt_);
        if (rowid_) st.bind(index, DbValue{*rowid_});
        st.run();
        st.reset();
        if (!rowid_) rowid_ = db_.lastInsertRowid();
        if (!readBack_) return;
        // As stored: the columns' types may have changed what was bound.
        struct Done {
            Statement& st;
            ~Done() { st.reset(); }
        } done{*readBack_};
        readBack_->bind(1, DbValue{*rowid_});
        digest_ = readBack_->step() ? readBack_->text(0).value_or("") : "";
    }

    // The row differs() found or write() made; nullopt when neither has yet.
    std::optional<std::int64_t> rowid() const { return rowid_; }
    // That row's written columns as they stand, when asked for digests.
    const std::string& digest() const { return digest_; }

    // Each file's writes are a unit of their own.
    store::SavepointStatements& units() { return units_; }

  private:
    // Columns of the lookup: the rowid, then the written fields in their order.
    static constexpr int kErNoColumn = kWrittenColumns - 1;
    static constexpr int kUpdtColumn = kWrittenColumns;
    static constexpr int kDigestColumn = kWrittenColumns + 1;

    static Statement prepareLookup(Connection& db, bool digests) {
        if (digests) store::addRowDigest(db);
        const std::string columns = columnList();
        return db.prepare("SELECT rowid," + columns +
                          (digests ? ",row_digest(" + columns + ")" : std::string()) +
                          " FROM UserLog WHERE ComNM = ?1 COLLATE NOCASE "
                          "AND UserID = ?2 COLLATE NOCASE ORDER BY rowid LIMIT 1");
    }

    static AgentCodes agentCodesOf(const ParsedReport& report) {
        return agentCodes(report.text(kErNo) ? *report.text(kErNo) : "");
    }

    // The looked-up row already holds what the write would store.
    bool holdsAll(const ParsedReport& report, const std::string& fileNm, const std::string& list,
                  const DbValue& updt) const {
        int column = 1;
        for (size_t k = 0; k < kResultKeyCount; ++k)
            if (k != kErNo && k != kUPDT && !lookup_.holds(column++, report.values[k]))
                return false;
        return lookup_.holds(column, std::string_view(fileNm)) &&
               lookup_.holds(column + 1, std::string_view(list)) && lookup_.holds(column + 2, updt);
    }

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
    static DbValue updtValue(const ParsedReport& report, DbValue stored) {
        if (std::holds_alternative<std::monostate>(report.values[kUPDT]) && report.refused[kUPDT])
            return stored;
        return report.values[kUPDT];
    }

    Connection& db_;
    Statement lookup_;
    Statement insert_;
    Statement update_;
    store::SavepointStatements units_;
    std::optional<Statement> readBack_;
    // What differs() found, for write().
    const ParsedReport* report_ = nullptr;
    const std::string* fileNm_ = nullptr;
    std::optional<std::int64_t> rowid_;
    std::string list_;
    DbValue updt_;
    std::string digest_;
};

// The pass writes in short turns, each one transaction, so a window that wants
// to write waits a moment at most; each file stays whole in one turn.
class ImportTurns {
  public:
    static constexpr auto kTurnLength = std::chrono::milliseconds(100);

    // `begun` runs at the start of each turn, inside its transaction; `undone`
    // when a turn ends rolled back rather than committed.
    ImportTurns(const platform::RunContext& ctx, Connection& db, std::function<void()> begun,
                std::function<void()> undone)
        : ctx_(ctx), db_(db), begun_(std::move(begun)), undone_(std::move(undone)) {}
    ~ImportTurns() {
        if (tx_ && undone_) undone_();
    }
    ImportTurns(const ImportTurns&) = delete;
    ImportTurns& operator=(const ImportTurns&) = delete;

    // Before a file is written: a turn is open, and a long one handed back first.
    void take() {
        if (tx_ && std::chrono::steady_clock::now() - started_ > kTurnLength) commit();
        if (tx_) return;
        turn_ = store::writeTurn(ctx_);
        tx_.emplace(db_);
        started_ = std::chrono::steady_clock::now();
        if (begun_) begun_();
    }

    void commit() {
        if (!tx_) return;
        // A failed commit rolls the turn back and still hands it on.
        const std::unique_lock<std::mutex> turn = std::move(turn_);
        try {
            tx_->commit();
        } catch (...) {
            tx_.reset();
            if (undone_) undone_();
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
    std::function<void()> begun_;
    std::function<void()> undone_;
    std::unique_lock<std::mutex> turn_;
    std::optional<store::Transaction> tx_;
    std::chrono::steady_clock::time_point started_;
};

std::string mngFolder(const platform::RunContext& ctx) {
    return platform::utf8Of(store::mngPath(ctx.base).parent_path());
}

// The rows of the open turn are gone: the pass ends here and the next one
// takes every file again.
void stopPass(const platform::RunContext& ctx, const std::string& why, const std::exception& e) {
    ctx.failures.report("import", why + " (" + e.what() + "); the next pass tries again");
}

void tellReadFindings(const platform::RunContext& ctx, const std::string& name, size_t overlong,
                      size_t dropped) {
    if (overlong)
        ctx.failures.report(
            "import", name + ": " + std::to_string(overlong) + " overlong line(s) passed over");
    if (dropped)
        ctx.failures.report("import", name + ": " + std::to_string(dropped) +
                                          " ErNo piece(s) that are no two-digit code dropped");
}

void tellNoKey(const platform::RunContext& ctx, const std::string& name) {
    ctx.failures.report("import", name + ": no ComNM or UserID, no row written");
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// A result file is taken in anew when its stamp changed, or when its row was
// last written by another file or by anybody else (which SQLite's
// data_version tells within a pass, and the file's change counter from one
// pass to the next). Otherwise taking it in again would write nothing: the
// import's writes are the same when repeated.
//
// The same is kept in Mng.mdb (ImportKept), for a console that starts again
// or finds that somebody else wrote the database: each file with its stamp,
// its row and a digest of the row as the file left it, written in the
// transaction that wrote the row. An entry is trusted again only while its
// row still holds those values, is the first of its host and user, and names
// the file in this folder: whoever changed or deleted the row, or put another
// before it, voids the entry, and a copy of Mng.mdb put back brings its
// entries with the rows they describe.
struct ImportMemory::Kept final : platform::FileTimes {
    // What meeting a file last gave.
    struct Met {
        platform::FileStamp stamp;
        std::int64_t rowid = 0;  // the row it wrote or found, 0 for none
        std::uint64_t id = 0;    // this taking, as rowOwners names it
        std::uint64_t pass = 0;  // the last pass that met the file
        std::uint32_t overlong = 0;
        std::uint32_t dropped = 0;
        bool trusted = false;  // may be passed over while its stamp stays
        bool stored = false;   // ImportKept may hold an entry for it
    };

    explicit Kept(std::chrono::milliseconds settled)
        : settledNs(std::chrono::nanoseconds(settled).count()) {}

    const std::int64_t settledNs;
    std::optional<Connection> db;
    std::filesystem::path dbPath;
    std::uint64_t dbFile = 0;
    std::optional<RowWriter> writer;
    std::optional<Statement> dataVersion;
    std::optional<std::int64_t> seenVersion;
    // The file's change counter when the last pass let go of it.
    std::optional<std::uint32_t> leftAt;
    // The table on this pass's connection; none once it failed.
    std::optional<store::ImportKeptTable> table;
    bool keeping = true;

    std::filesystem::path folder;
    std::string prefix;  // the folder with a separator after it, as FileNM holds it
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, Met, Hash, std::equal_to<>> files;
    // The taking that last wrote or found each row: by rowid while rowids are
    // dense, else by hash.
    std::vector<std::uint64_t> rowOwners;
    std::unordered_map<std::int64_t, std::uint64_t> farRowOwners;
    std::uint64_t lastId = 0;
    std::uint64_t pass = 0;
    bool timesValid = false;

    void forget() {
        for (auto& [name, met] : files) met.trusted = false;
        rowOwners.clear();
        farRowOwners.clear();
    }

    std::uint64_t owner(std::int64_t rowid) const {
        if (rowid > 0 && static_cast<std::uint64_t>(rowid) < rowOwners.size())
            return rowOwners[static_cast<std::size_t>(rowid)];
        const auto it = farRowOwners.find(rowid);
        return it == farRowOwners.end() ? 0 : it->second;
    }

    void own(std::int64_t rowid, std::uint64_t id) {
        const auto at = static_cast<std::uint64_t>(rowid);
        const auto dense = std::max<std::uint64_t>(rowOwners.size(), 2 * files.size() + 65536);
        if (rowid > 0 && at < dense) {
            if (at >= rowOwners.size())
                rowOwners.resize(static_cast<std::size_t>(at) + 1 + rowOwners.size() / 2);
            rowOwners[static_cast<std::size_t>(at)] = id;
            farRowOwners.erase(rowid);
        } else {
            farRowOwners[rowid] = id;
        }
    }

    // A connection for this pass alone: one held from pass to pass would keep
    // anybody else from deleting or replacing Mng.mdb on Windows. Trust stays
    // while it is the file the last pass let go of, unchanged since; else what
    // the database keeps is taken again.
    Connection& connection(const platform::RunContext& ctx) {
        const auto path = store::mngPath(ctx.base);
        const auto stamp = platform::plainFileStamp(path);
        const bool sameFile = stamp && stamp->file == dbFile && path == dbPath;
        const auto left = std::exchange(leftAt, std::nullopt);
        close();
        db.emplace(store::openMng(ctx.base));
        dbPath = path;
        dbFile = stamp ? stamp->file : 0;
        openTable(ctx);
        const auto now = look(true);
        if (!sameFile || !left || now != left) reload();
        return *db;
    }

    // Makes the table in an older Mng.mdb; a database that cannot keep it
    // still imports, only without memory across restarts.
    void openTable(const platform::RunContext& ctx) {
        if (!keeping) return;
        try {
            if (!store::ImportKeptTable::exists(*db)) {
                const auto turn = store::writeTurn(ctx);
                store::Transaction tx(*db);
                store::ImportKeptTable::make(*db);
                tx.commit();
            }
            table.emplace(*db);
        } catch (const std::exception& e) {
            stopKeeping(ctx, e);
        }
    }

    void stopKeeping(const platform::RunContext& ctx, const std::exception& e) {
        table.reset();
        if (!std::exchange(keeping, false)) return;
        ctx.failures.report("import", std::string("cannot keep what was imported in Mng.mdb (") +
                                          e.what() +
                                          "); a restarted console reads every result file again");
    }

    // Trust from the entries whose rows still hold what their files left,
    // within one read so that nobody commits in between.
    void reload() {
        forget();
        if (!table) return;
        try {
            const Reading reading(*db);
            files.clear();
            files.reserve(store::ImportKeptTable::count(*db));
            store::ImportKeptTable::load(
                *db, columnList(), prefix, [&](store::ImportKeptFile&& file, bool holds) {
                    Met& met = files[std::move(file.name)];
                    met = {file.stamp, file.rowid, 0, 0, file.overlong, file.dropped, holds, true};
                    if (holds && file.rowid != 0) own(file.rowid, met.id = ++lastId);
                });
            lookForOthers(true);
        } catch (const std::exception&) {
            forget();
        }
    }

    // Within one read, so that nobody commits in between: a look for others,
    // and the change counter as of then.
    std::optional<std::uint32_t> look(bool first = false) {
        try {
            const Reading reading(*db);
            lookForOthers(first);
            return db->changeCounter();
        } catch (const std::exception&) {
            forget();
            return std::nullopt;
        }
    }

    void close() {
        writer.reset();
        table.reset();
        dataVersion.reset();
        seenVersion.reset();
        db.reset();
    }

    RowWriter& rowWriter() {
        if (!writer) writer.emplace(*db, table.has_value());
        return *writer;
    }

    // Anybody else's commit since the last look voids every trust; the first
    // look of a connection only marks where it starts.
    void lookForOthers(bool first = false) {
        try {
            if (!dataVersion) dataVersion.emplace(db->prepare("PRAGMA data_version"));
            dataVersion->reset();
            if (!dataVersion->step()) throw store::DbError("no data_version");
            const std::int64_t version = *dataVersion->integer(0);
            dataVersion->reset();
            if (!first && seenVersion != version) forget();
            seenVersion = version;
        } catch (const std::exception&) {
            forget();
            seenVersion.reset();
        }
    }

    // A turn rolled back: the entries written in it are gone with its rows,
    // and those it deleted are back.
    void undone() {
        forget();
        for (auto& [name, met] : files) met.stored = true;
    }

    void startPass(const std::filesystem::path& resultFolder) {
        if (resultFolder != folder) {
            files.clear();
            forget();
        }
        folder = resultFolder;
        prefix = platform::utf8Of(resultFolder / "");
        ++pass;
        timesValid = true;
    }

    // What the file gave last time, when taking it in again would change nothing.
    const Met* unchanged(const platform::OpenFolder& opened, const std::string& name) {
        const auto it = files.find(name);
        if (it == files.end() || !it->second.trusted) return nullptr;
        Met& met = it->second;
        if (met.rowid != 0 && owner(met.rowid) != met.id) return nullptr;
        if (opened.stampOf(name) != met.stamp) return nullptr;
        met.pass = pass;
        return &met;
    }

    // A file read whole; `rowid` is the row it wrote or found, if any.
    void met(const std::string& name, const ParsedReport& report, std::optional<std::int64_t> rowid,
             bool written, std::int64_t readFromNs) {
        Met& met = files[name];
        met = {report.stamp,
               rowid.value_or(0),
               0,
               pass,
               static_cast<std::uint32_t>(report.overlongLines),
               static_cast<std::uint32_t>(report.droppedCodes),
               false,
               met.stored};
        if (rowid) own(*rowid, met.id = ++lastId);
        met.trusted = written && report.stamp.changedNs + settledNs < readFromNs;
    }

    // Puts what met() recorded of the file into the table, in the open turn
    // that wrote its row.
    void keep(const platform::RunContext& ctx, const std::string& name, const std::string& digest) {
        const auto it = files.find(name);
        if (!table || it == files.end()) return;
        Met& met = it->second;
        try {
            if (met.trusted)
                table->put({name, met.stamp, met.rowid, met.overlong, met.dropped, digest});
            else if (met.stored)
                table->remove(name);
            met.stored = met.trusted;
        } catch (const store::DbFullError&) {
            throw;
        } catch (const std::exception& e) {
            // Gone with the turn: the pass's own handling says so.
            if (!db->inTransaction()) throw;
            stopKeeping(ctx, e);
        }
    }

    // Entries of files no longer listed, once the whole folder was. One that
    // cannot be dropped now is dropped by a later pass; it vouches for nothing.
    void dropGone(const platform::RunContext& ctx, ImportTurns& turns) {
        try {
            for (auto& [name, met] : files) {
                if (!table) return;
                if (met.pass == pass || !met.stored) continue;
                turns.take();
                table->remove(name);
                met.stored = false;
            }
        } catch (const store::DbFullError&) {
            // The commit that follows tells it.
        } catch (const std::exception& e) {
            if (db->inTransaction()) stopKeeping(ctx, e);
        }
    }

    void endPass() {
        std::erase_if(files, [&](const auto& entry) { return entry.second.pass != pass; });
        if (db) leftAt = look();
        close();
    }

    // platform::FileTimes
    std::optional<platform::LocalTime> lastModified(const std::string& path) const override {
        if (timesValid && std::string_view(path).starts_with(prefix)) {
            const auto it = files.find(std::string_view(path).substr(prefix.size()));
            if (it != files.end() && it->second.pass == pass)
                return platform::modifiedTime(it->second.stamp);
        }
        return platform::lastModified(platform::pathFromUtf8(path));
    }
    void clear() override { timesValid = false; }
};

ImportMemory::ImportMemory(std::chrono::milliseconds settled)
    : kept_(std::make_unique<Kept>(settled)) {}
ImportMemory::~ImportMemory() = default;

platform::FileTimes& ImportMemory::resultTimes() {
    return *kept_;
}

namespace {

void importPass(const platform::RunContext& ctx, WorkAnimation& animation, ImportMemory* memory) {
    const auto folder = ctx.base.at("\\OrvShare\\RST");
    ImportMemory::Kept* kept = memory ? &memory->kept() : nullptr;
    if (kept) kept->startPass(folder);
    // However the pass ends, it lets go of Mng.mdb.
    struct LetGo {
        ImportMemory::Kept* kept;
        ~LetGo() {
            if (kept) kept->close();
        }
    } const letGo{kept};

    std::optional<Connection> ownDb;
    Connection* db = nullptr;
    try {
        db = kept ? &kept->connection(ctx) : &ownDb.emplace(store::openMng(ctx.base));
    } catch (const std::exception& e) {
        ctx.failures.report("import", e.what());
    }

    const auto listing = platform::listFiles(folder);
    if (!listing) {
        ctx.failures.report("import", "cannot list " + platform::utf8Of(folder));
        return;
    }

    // Opened once: the files are then opened by name alone.
    std::optional<platform::OpenFolder> opened;
    try {
        opened.emplace(folder);
    } catch (const std::exception&) {
        // Each file is then opened by its path, and tells what fails.
    }

    AnimationRun run(animation);
    std::optional<ImportTurns> turns;
    std::optional<RowWriter> ownWriter;
    RowWriter* writer = nullptr;
    if (db) {
        try {
            writer = kept ? &kept->rowWriter() : &ownWriter.emplace(*db);
            std::function<void()> begun, undone;
            if (kept) {
                begun = [kept] { kept->lookForOthers(); };
                // Rows of files it trusts may be gone with the turn.
                undone = [kept] { kept->undone(); };
            }
            turns.emplace(ctx, *db, std::move(begun), std::move(undone));
        } catch (const std::exception& e) {
            ctx.failures.report("import", e.what());
            writer = nullptr;
        }
    }
    // Files are passed over unread only while the database can tell.
    const bool skipUnchanged = kept && writer && opened;
    if (skipUnchanged) kept->lookForOthers();

    bool listedAll = true;
    for (const std::string& name : *listing) {
        // Ending: every file taken so far is complete in the database.
        if (ctx.stopRequested()) {
            listedAll = false;
            break;
        }
        run.step();
        if (!hasTxtExtension(name)) continue;
        const auto path = folder / platform::pathFromUtf8(name);
        if (skipUnchanged) {
            if (const auto* met = kept->unchanged(*opened, name)) {
                tellReadFindings(ctx, name, met->overlong, met->dropped);
                if (met->rowid == 0) tellNoKey(ctx, name);
                continue;
            }
        }
        try {
            const std::int64_t readFrom = nowNs();
            std::optional<ParsedReport> read;
            try {
                read.emplace(opened ? readResultFile(*opened, name) : readResultFile(path));
            } catch (...) {
                // Gone, a dangling link or a link to a folder: passed over unsaid.
                if (!platform::fileExists(path)) continue;
                throw;
            }
            const ParsedReport& report = *read;
            const std::string fileNm = platform::utf8Of(path);
            // Met before anything is written: a failure below forgets it again.
            if (kept) kept->met(name, report, std::nullopt, false, readFrom);
            tellReadFindings(ctx, name, report.overlongLines, report.droppedCodes);
            if (!report.text(kComNM) || !report.text(kUserID)) {
                tellNoKey(ctx, name);
                if (kept) kept->met(name, report, std::nullopt, writer != nullptr, readFrom);
                if (kept && writer) {
                    turns->take();
                    kept->keep(ctx, name, {});
                }
                continue;
            }
            if (!writer) continue;
            turns->take();
            if (writer->differs(report, fileNm)) {
                store::Savepoint unit(writer->units());
                writer->write();
                unit.release();
            }
            if (kept) {
                kept->met(name, report, writer->rowid(), true, readFrom);
                kept->keep(ctx, name, writer->digest());
            }
        } catch (const store::DbFullError& e) {
            return stopPass(ctx, "no space left on " + mngFolder(ctx), e);
        } catch (const std::exception& e) {
            if (kept) kept->files.erase(name);
            if (turns && turns->lost()) return stopPass(ctx, "the pass's transaction was lost", e);
            ctx.failures.report("import", name + ": " + e.what());
        }
    }

    if (turns) {
        try {
            if (kept && listedAll) kept->dropGone(ctx, *turns);
            turns->commit();
        } catch (const store::DbFullError& e) {
            stopPass(ctx, "no space left on " + mngFolder(ctx), e);
        } catch (const std::exception& e) {
            ctx.failures.report("import", e.what());
        }
    }
    if (kept) kept->endPass();
}

}  // namespace

void importResults(const platform::RunContext& ctx, WorkAnimation& animation) {
    importPass(ctx, animation, nullptr);
}

void importResults(const platform::RunContext& ctx, WorkAnimation& animation,
                   ImportMemory& memory) {
    importPass(ctx, animation, &memory);
}

}  // namespace plenvo::intake
