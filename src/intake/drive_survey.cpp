#include "intake/drive_survey.h"

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "intake/error_codes.h"
#include "intake/share_folder.h"
#include "platform/drives/drive_values.h"
#include "platform/network/folder_reach.h"
#include "platform/network/unc_path.h"
#include "platform/paths/windows_path.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::intake {
namespace {

using store::DbValue;
using store::Statement;

constexpr const char* kDriveFull = "07";
constexpr long kFullAbove = 85;
constexpr long kRefreshAfterMinutes = 10;

struct SurveyedRow {
    std::int64_t rowid = 0;
    std::string toBkup;
    std::string erNo;
};

// Where a destination lies: its server, its share and the share's folder there.
struct Destination {
    std::string server;
    std::string sharePath;
    std::string localPath;
};

std::vector<SurveyedRow> tableOrder(store::Connection& db) {
    std::vector<SurveyedRow> rows;
    Statement st = db.prepare("SELECT rowid, ToBkup, ErNo FROM UserLog ORDER BY rowid");
    while (st.step())
        rows.push_back({*st.integer(0), st.text(1).value_or(""), st.text(2).value_or("")});
    return rows;
}

// Whole percent in use, rounded down; nullopt for a drive without size.
std::optional<std::int64_t> usageRate(const platform::DriveValues& drive) {
    const auto total = static_cast<std::int64_t>(drive.totalBytes);
    const auto free = static_cast<std::int64_t>(drive.freeBytes);
    if (total <= 0) return std::nullopt;
    const std::int64_t used = total - free;
    return used >= 0 ? used * 100 / total : -((-used * 100 + total - 1) / total);
}

// The ShareDriveInfo rows of one pass: looked up, added and refreshed.
class ShareDriveTable {
  public:
    struct Found {
        std::optional<std::int64_t> rowid;
        std::optional<std::int64_t> storedRate;
        bool stale = true;
    };

    explicit ShareDriveTable(store::Connection& db)
        : db_(db),
          lookup_(db.prepare(
              "SELECT rowid, UsageVate, UPDT FROM ShareDriveInfo WHERE ComNM = ?1 COLLATE NOCASE "
              "AND SharePath = ?2 COLLATE NOCASE ORDER BY rowid LIMIT 1")),
          insert_(db.prepare("INSERT INTO ShareDriveInfo (ComNM, Drv, LocalPath, SharePath, UPDT) "
                             "VALUES (?1, ?2, ?3, ?4, ?5) RETURNING rowid")),
          names_(db.prepare(
              "UPDATE ShareDriveInfo SET ComNM = ?1, Drv = ?2, LocalPath = ?3, SharePath = ?4, "
              "UPDT = ?5 WHERE rowid = ?6")),
          drive_(db.prepare("UPDATE ShareDriveInfo SET DrvSystem = ?1, DrvSpace = ?2, DrvSize = "
                            "?3, DrvType = ?4, "
                            "VolumeName = ?5, SerialNumber = ?6 WHERE rowid = ?7")),
          rate_(db.prepare("UPDATE ShareDriveInfo SET UsageVate = ?1 WHERE rowid = ?2")) {}

    Found find(const Destination& d, const platform::LocalTime& now) {
        lookup_.reset();
        lookup_.bind(1, d.server).bind(2, d.sharePath);
        Found found;
        if (lookup_.step()) {
            found.rowid = lookup_.integer(0);
            if (const auto rate = lookup_.number(1))
                found.storedRate = static_cast<std::int64_t>(*rate);
            const auto updt = lookup_.text(2);
            const auto refreshed = updt ? store::parseDateTime(*updt) : std::nullopt;
            found.stale =
                !refreshed || store::minutesBetween(*refreshed, now) > kRefreshAfterMinutes;
        }
        lookup_.reset();
        return found;
    }

    // Writes the share's names and time, and the drive's values where it could
    // be read. A drive without size keeps its earlier rate. Returns the new rate.
    std::optional<std::int64_t> refresh(const std::optional<std::int64_t>& rowid,
                                        const Destination& d, const std::string& drv,
                                        const std::optional<platform::DriveValues>& drive,
                                        const platform::LocalTime& now) {
        store::Savepoint unit(db_);
        const std::int64_t id = rowid ? *rowid : added(d, drv, now);
        if (rowid) bindNames(names_, d, drv, now).bind(6, DbValue{id}).run();
        std::optional<std::int64_t> rate;
        if (drive) {
            drive_.reset();
            drive_.bind(1, drive->fileSystem)
                .bind(2, DbValue{drive->freeBytes})
                .bind(3, DbValue{drive->totalBytes})
                .bind(4, DbValue{std::int64_t{drive->driveType}})
                .bind(5, drive->volumeName)
                .bind(6, drive->serialNumber ? DbValue{*drive->serialNumber} : DbValue{})
                .bind(7, DbValue{id})
                .run();
            rate = usageRate(*drive);
            if (rate) {
                rate_.reset();
                rate_.bind(1, DbValue{*rate}).bind(2, DbValue{id}).run();
            }
        }
        unit.release();
        return rate;
    }

  private:
    static Statement& bindNames(Statement& st, const Destination& d, const std::string& drv,
                                const platform::LocalTime& now) {
        st.reset();
        st.bind(1, d.server)
            .bind(2, drv)
            .bind(3, d.localPath)
            .bind(4, d.sharePath)
            .bind(5, store::storedText(now));
        return st;
    }

    std::int64_t added(const Destination& d, const std::string& drv,
                       const platform::LocalTime& now) {
        bindNames(insert_, d, drv, now);
        if (!insert_.step()) throw store::DbError("ShareDriveInfo row not added");
        const std::int64_t id = *insert_.integer(0);
        insert_.reset();
        return id;
    }

    store::Connection& db_;
    Statement lookup_, insert_, names_, drive_, rate_;
};

// Lower-case server and share path: the key of a share's row.
std::string shareKey(const Destination& d) {
    return platform::lowerCase(d.server) + "\n" + platform::lowerCase(d.sharePath);
}

class Survey {
  public:
    Survey(const platform::RunContext& ctx, const SurveyProbes& probes,
           platform::ShareLookup& shares)
        : ctx_(ctx), probes_(probes), shares_(shares) {}

    // Everything the pass must ask the network, asked before anything is
    // written, several servers at a time: the rows' shares, then the drives of
    // the shares due for a refresh.
    void askNetwork(const std::vector<SurveyedRow>& rows, store::Connection& db) {
        std::vector<std::string> servers;
        for (const auto& row : rows) servers.push_back(platform::serverOf(std::string(row.toBkup)));
        shares_.askAll(servers);

        ShareDriveTable table(db);
        const platform::LocalTime now = ctx_.clock.now();
        std::vector<std::string> due, dueKeys;
        for (const auto& row : rows) {
            auto destination = destinationOf(row.toBkup);
            if (destination && !drives_.count(shareKey(*destination)) &&
                table.find(*destination, now).stale) {
                drives_[shareKey(*destination)];
                due.push_back(destination->sharePath);
                dueKeys.push_back(shareKey(*destination));
            }
            destinations_.push_back(std::move(destination));
        }
        std::vector<std::optional<platform::DriveValues>> read(due.size());
        platform::reachEach(due, shares_, [&](size_t i, platform::FolderReach& reach) {
            if (!ctx_.stopRequested()) read[i] = readDrive(reach, due[i]);
        });
        for (size_t i = 0; i < due.size(); ++i) {
            if (!read[i])
                ctx_.failures.report("drive survey", "cannot read the drive of " + due[i]);
            drives_[dueKeys[i]] = read[i];
        }
    }

    // Writes the pass into the tables, row by row in the table's own order.
    void write(const std::vector<SurveyedRow>& rows, store::Connection& db) {
        ShareDriveTable table(db);
        Statement saveCodes = db.prepare("UPDATE UserLog SET ErNo = ?1 WHERE rowid = ?2");
        for (size_t i = 0; i < rows.size() && !ctx_.stopRequested(); ++i) {
            try {
                visit(rows[i], destinations_[i], table, saveCodes);
            } catch (const std::exception& e) {
                ctx_.failures.report("drive survey",
                                     "row " + std::to_string(rows[i].rowid) + ": " + e.what());
            }
        }
    }

  private:
    void visit(const SurveyedRow& row, const std::optional<Destination>& destination,
               ShareDriveTable& table, Statement& saveCodes) {
        if (!destination) return;
        const platform::LocalTime now = ctx_.clock.now();
        platform::LocalTime minute = now;
        minute.second = 0;
        // Rows of one share find its row as the first left it: asked once a minute.
        const std::string key = shareKey(*destination);
        auto known = seen_.find(key);
        if (known == seen_.end() || known->second.minute != minute)
            known = seen_.insert_or_assign(key, Seen{table.find(*destination, now), minute}).first;
        const ShareDriveTable::Found found = known->second.found;
        // A refresh below changes the row: the next row of the share asks again.
        if (found.stale) seen_.erase(known);
        std::optional<std::int64_t> rate = found.storedRate;
        if (found.stale) {
            const std::string drv = platform::driveNameOf(destination->localPath, shares_.drives());
            const auto fresh =
                table.refresh(found.rowid, *destination, drv, driveOf(*destination), now);
            // A share without a stored rate goes by the rate just read.
            if (!rate) rate = fresh;
        }
        if (rate) keepCode(row, *rate > kFullAbove, saveCodes);
    }

    // nullopt when the row names no share whose folder its server tells.
    std::optional<Destination> destinationOf(std::string toBkup) {
        Destination d;
        d.server = platform::serverOf(toBkup);
        if (d.server.empty()) return std::nullopt;
        d.sharePath = platform::parentOf(toBkup);
        // Thousands of rows lie in one share: it is looked up once.
        const auto [known, fresh] = resolved_.try_emplace(d.server + '\n' + d.sharePath);
        if (!fresh) return known->second;
        try {
            d.localPath = shareFolderOf(d.server, d.sharePath, "", shares_);
        } catch (const NoSharesError& e) {
            if (told_.insert(platform::lowerCase(d.server)).second)
                ctx_.failures.report("drive survey", e.what());
            return std::nullopt;
        }
        if (!d.localPath.empty()) known->second = d;
        return known->second;
    }

    // What the pass read of the share's drive; a share that fell due while
    // the pass wrote is read now.
    std::optional<platform::DriveValues> driveOf(const Destination& d) {
        const auto it = drives_.find(shareKey(d));
        if (it != drives_.end()) return it->second;
        platform::FolderReach reach(shares_);
        auto drive = readDrive(reach, d.sharePath);
        if (!drive) ctx_.failures.report("drive survey", "cannot read the drive of " + d.sharePath);
        return drives_[shareKey(d)] = drive;
    }

    std::optional<platform::DriveValues> readDrive(platform::FolderReach& reach,
                                                   const std::string& sharePath) const {
        return probes_.drive ? probes_.drive(sharePath) : reach.driveValues(sharePath);
    }

    void keepCode(const SurveyedRow& row, bool full, Statement& saveCodes) {
        std::string list = row.erNo;
        if (full && !hasCode(list, kDriveFull)) list = withCode(list, kDriveFull);
        if (!full && hasCode(list, kDriveFull)) list = withoutCode(list, kDriveFull);
        if (list == row.erNo) return;
        saveCodes.reset();
        saveCodes.bind(1, list).bind(2, DbValue{row.rowid}).run();
    }

    const platform::RunContext& ctx_;
    const SurveyProbes& probes_;
    platform::ShareLookup& shares_;
    // A share's row as found, by share key, for the minute it was asked in.
    struct Seen {
        ShareDriveTable::Found found;
        platform::LocalTime minute;
    };
    std::map<std::string, Seen> seen_;
    std::map<std::string, std::optional<Destination>> resolved_;  // by server and share path
    std::vector<std::optional<Destination>> destinations_;        // by row
    std::map<std::string, std::optional<platform::DriveValues>> drives_;  // by share key
    std::set<std::string> told_;  // servers whose silence was told this pass
};

}  // namespace

void surveyShareDrives(const platform::RunContext& ctx, const SurveyProbes& probes,
                       platform::ShareLookup* pass) {
    std::optional<store::Connection> db;
    std::vector<SurveyedRow> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows = tableOrder(*db);
    } catch (const std::exception& e) {
        ctx.failures.report("drive survey", e.what());
        return;
    }

    std::optional<platform::ShareLookup> own;
    if (!pass) probes.shares ? own.emplace(probes.shares) : own.emplace();
    Survey survey(ctx, probes, pass ? *pass : *own);
    try {
        survey.askNetwork(rows, *db);
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(*db);
        survey.write(rows, *db);
        tx.commit();
    } catch (const std::exception& e) {
        ctx.failures.report("drive survey", e.what());
    }
}

}  // namespace plenvo::intake
