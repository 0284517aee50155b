#include "removable/request_intake.h"

#include <stdexcept>

#include "platform/core/journal_line.h"
#include "platform/files/file_system.h"
#include "removable/claimed_file.h"
#include "removable/exchange_fields.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::removable {
namespace {

// Claimed files keep their name with this tail until they are taken in.
constexpr const char* kClaimedTail = ".taking";

std::optional<ClaimedFile> claimExchangeFile(const platform::RunContext& ctx,
                                             const std::string& name) {
    const std::string tail = "\\OrvShare\\REM\\" + name;
    return ClaimedFile::claim(ctx.base.at(tail), ctx.base.at(tail + kClaimedTail), ctx.clock.now());
}

// Takes the new lines of the claimed file that still waits for late writers,
// and once that one is done, of a newly claimed one. Until then a newer file
// stays under the agents' name, where nothing written to it is lost. A file is
// never done in the tick that claims it, so this ends.
void takeClaimed(const platform::RunContext& ctx, const std::string& name,
                 std::optional<ClaimedFile> claimed, std::string_view topic,
                 const ClaimedFile::Take& take) {
    while (claimed && claimed->takeLines(take, ctx.failures, topic))
        claimed = claimExchangeFile(ctx, name);
}

// One request line into RemList_Add; lines without a serial or with fewer than
// four fields are passed over, and the lines after them still count.
bool takeRequest(store::Statement& insert, const std::string& line, const std::string& now,
                 platform::FailureLog& failures, std::vector<Registration>* taken) {
    const std::vector<std::string> fields = splitFields(line);
    if (trimmed(fields[0]).empty()) return false;
    if (fields.size() < 4) {
        failures.report("media requests",
                        "request with fewer than four fields passed over: " + excerpt(line));
        return false;
    }
    insert.reset();
    for (int i = 0; i < 4; ++i) insert.bind(i + 1, trimmed(fields[static_cast<size_t>(i)]));
    insert.bind(5, now);
    insert.run();
    if (taken)
        taken->push_back(
            {trimmed(fields[0]), trimmed(fields[1]), trimmed(fields[2]), trimmed(fields[3])});
    // On a server nobody sits at the console: the journal tells of each request.
    platform::tellLine(platform::LinePriority::info,
                       "PlenvoBackupMng: removable media request for serial " +
                           excerpt(trimmed(fields[0])) + " (" + excerpt(trimmed(fields[1])) +
                           ", user IDs " + excerpt(trimmed(fields[2])) +
                           ") waits for approval or denial");
    return true;
}

void applyUsage(store::Statement& update, const std::string& line) {
    const std::vector<std::string> fields = splitFields(line);
    if (fields.size() < 2)
        throw std::runtime_error("usage line with fewer than two fields: " + excerpt(line));
    const auto when = store::parseDateTime(trimmed(fields[1]));
    if (!when) throw std::runtime_error("usage line without a date: " + excerpt(line));
    update.reset();
    update.bind(1, store::storedText(*when)).bind(2, trimmed(fields[0]));
    update.run();
}

// Takes the new request lines into RemList_Add. False when none was taken in.
bool takeRequests(const platform::RunContext& ctx, std::vector<Registration>* into) {
    auto claimed = claimExchangeFile(ctx, "ADD");
    if (!claimed) return false;
    store::Connection db = store::openMng(ctx.base);  // without it the claimed file waits
    store::Statement insert = db.prepare(
        "INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES (?1, ?2, ?3, ?4, ?5)");
    const std::string now = store::storedText(ctx.clock.now());
    bool taken = false;
    takeClaimed(ctx, "ADD", std::move(claimed), "media requests",
                [&](const std::vector<std::string>& lines) {
                    const auto turn = store::writeTurn(ctx);
                    store::Transaction tx(db);
                    bool any = false;
                    std::vector<Registration> batch;
                    for (const std::string& line : lines)
                        any = takeRequest(insert, line, now, ctx.failures, &batch) || any;
                    tx.commit();
                    // Told of only once they are stored.
                    if (into) into->insert(into->end(), batch.begin(), batch.end());
                    taken = taken || any;
                });
    return taken;
}

}  // namespace

bool takeMediaRequests(const platform::RunContext& ctx) {
    try {
        return takeRequests(ctx, nullptr);
    } catch (const std::exception& e) {
        ctx.failures.report("media requests", e.what());
        return false;
    }
}

bool takeMediaRequests(const platform::RunContext& ctx, std::vector<Registration>& taken) {
    try {
        return takeRequests(ctx, &taken);
    } catch (const std::exception& e) {
        ctx.failures.report("media requests", e.what());
        return false;
    }
}

void askToRegister(ui::Dialogs& dialogs, const std::function<void()>& openCheckWindow) {
    const auto answer = dialogs.messageBox("リムーバブルメディアの申請が来ました\n登録しますか？",
                                           "申請登録確認", ui::MessageButtons::yesNo);
    if (answer == ui::MessageAnswer::yes && openCheckWindow) openCheckWindow();
}

void takeRequestsAndAsk(const platform::RunContext& ctx, ui::Dialogs* dialogs,
                        const std::function<void()>& openCheckWindow) {
    // Headless, the requests wait for the check window.
    if (takeMediaRequests(ctx) && dialogs) askToRegister(*dialogs, openCheckWindow);
}

// The usage file is claimed in the exchange folder itself rather than copied
// to the working folder, so an agent's line written between copy and delete
// cannot be lost; `workingFolder` is no longer needed for it.
void recordMediaUse(const platform::RunContext& ctx, const std::string& /*workingFolder*/) {
    auto claimed = claimExchangeFile(ctx, "UseRem");
    if (!claimed) return;
    store::Connection db = store::openMng(ctx.base);
    store::Statement update = db.prepare("UPDATE RemList SET USDT = ?1 WHERE DselNo = ?2");
    takeClaimed(ctx, "UseRem", std::move(claimed), "media use",
                [&](const std::vector<std::string>& lines) {
                    // A refused line undoes only its own statement.
                    const auto turn = store::writeTurn(ctx);
                    store::Transaction tx(db);
                    for (const std::string& line : lines) {
                        if (trimmed(line).empty()) continue;
                        try {
                            applyUsage(update, line);
                        } catch (const std::exception& e) {
                            ctx.failures.report("media use", e.what());
                        }
                    }
                    tx.commit();
                });
}

}  // namespace plenvo::removable
