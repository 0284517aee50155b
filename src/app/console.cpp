#include "app/console.h"

#include <utility>

#include "alerts/mail_alerts.h"
#include "app/share_routines.h"
#include "intake/destination_check.h"
#include "intake/drive_survey.h"
#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "pages/share_drive_page.h"
#include "pages/status_export.h"
#include "platform/desktop/startup_entry.h"
#include "platform/files/file_system.h"
#include "platform/files/private_file.h"
#include "platform/files/scratch_file.h"
#include "platform/paths/windows_path.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"
#include "platform/text/utf8_path.h"
#include "removable/allow_list.h"
#include "removable/request_intake.h"
#include "store/history.h"
#include "store/mng_database.h"

namespace plenvo::app {

namespace {

// Marks a timer's work as running for as long as it lasts.
class Running {
  public:
    explicit Running(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

  private:
    std::atomic<bool>& flag_;
};

}  // namespace

Console::Console(const platform::RunContext& ctx, IconAnimation& animation, ui::Dialogs* dialogs,
                 platform::ShareService* shares, WorkPlaces places)
    : ctx_(ctx),
      animation_(animation),
      dialogs_(dialogs),
      shares_(shares ? *shares : systemShares_),
      places_(std::move(places)) {}

void Console::onPassThread(std::function<void()> work) {
    if (places_.pass)
        places_.pass(std::move(work));
    else
        work();
}

void Console::onWindowThread(std::function<void()> work) {
    if (places_.window)
        places_.window(std::move(work));
    else
        work();
}

bool Console::step(const char* name, const std::function<void()>& work) {
    // Ending: the steps still to come wait for the next start.
    if (ctx_.stopRequested()) return false;
    bool done = false;
    platform::guarded(ctx_.failures, name, [&] {
        work();
        done = true;
    });
    return done;
}

PassOutcome Console::measured(PassKind kind, const std::function<bool()>& steps) {
    const auto started = std::chrono::steady_clock::now();
    const bool succeeded = steps();
    return {kind,
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  started),
            succeeded};
}

void Console::timedPass(PassKind kind, const std::function<bool()>& steps,
                        pages::StatusExports::When exported) {
    const PassOutcome outcome = measured(kind, steps);
    if (!ctx_.stopRequested()) {
        record(outcome);
        followUp(exported);
    }
    ctx_.failures.passEnded();
}

void Console::firstPasses() {
    // An older database gains the history before the first import writes.
    step("history", [&] { keepHistory(HistoryUse::makeOnly); });
    const PassOutcome imported = measured(PassKind::import, [this] { return importOnly(); });
    const PassOutcome checked = measured(PassKind::checks, [this] { return checksAndPage(); });
    // Written after the checks: a single run ends with a page that shows their codes.
    const bool paged = listPage();
    if (!ctx_.stopRequested()) {
        record({imported.kind, imported.duration, imported.succeeded && paged});
        record(checked);
        followUp(pages::StatusExports::When::always);
    }
    ctx_.failures.passEnded();
}

void Console::record(const PassOutcome& outcome) {
    const std::lock_guard held(figuresMutex_);
    pages::PassFigures& figures = passFigures_[outcome.kind == PassKind::import ? 0 : 1];
    figures.lastDurationSeconds = std::chrono::duration<double>(outcome.duration).count();
    if (outcome.succeeded) figures.lastSuccess = ctx_.clock.now();
}

std::vector<pages::PassFigures> Console::passFigures() const {
    const std::lock_guard held(figuresMutex_);
    return {passFigures_.begin(), passFigures_.end()};
}

void Console::followUp(pages::StatusExports::When exported) {
    // Decided here and queued, which asks no mail server; delivered by the sender.
    std::vector<alerts::PassLine> passes;
    for (const pages::PassFigures& p : passFigures())
        passes.push_back({p.kind, p.lastDurationSeconds, p.lastSuccess});
    step("mail alerts", [&] { alerts::queueMailAlerts(ctx_); });
    step("daily summary", [&] { alerts::queueDailySummary(ctx_, passes); });
    mailAfterPasses();
    step("status exports", [&] {
        exports_.write(ctx_, passFigures_, std::exchange(pagedAgents_, std::nullopt), exported);
    });
}

void Console::mailAfterPasses() {
    // Without a sender (a single run) the outbox goes on the pass, within seconds.
    if (!places_.mail) {
        alerts::DeliveryLimits limits;
        limits.session = std::chrono::seconds(10);
        step("mail delivery", [&] { alerts::deliverMail(ctx_, limits); });
    } else if (!mailQueued_.exchange(true)) {
        places_.mail([this] {
            mailQueued_ = false;
            step("mail delivery", [&] { alerts::deliverMail(ctx_); });
        });
    }
}

bool Console::resultFolderAndDatabaseExist() const {
    return platform::folderExists(ctx_.base.at("\\OrvShare\\RST")) &&
           platform::fileExists(store::mngPath(ctx_.base));
}

void Console::startUp(const StartupValues& values) {
    values_ = values;
    step("registered media", [&] { removable::restoreRegisteredMedia(ctx_); });
    step("monitoring switch", [&] { store::readMonitoringFlag(ctx_.base, flag_); });
    importTicks_ = 0;
    checkTicks_ = 0;
    step("folders", [&] { makeShareTree(ctx_.base); });
    step("folder access", [&] { checkBaseFolderTakesFiles(); });
    // Names and mail addresses of every user: not for every local user to read.
    step("database", [&] {
        const auto database = store::mngPath(ctx_.base);
        if (platform::fileExists(database) && !platform::keepFromOthers(database))
            ctx_.failures.report("database",
                                 platform::utf8Of(database) + " cannot be kept from other users");
    });
    // The installer, an administrator, made the share and its rights: the
    // console need not be one.
    const auto share = ctx_.base.at("\\OrvShare");
    if (!sharedByInstaller(share)) {
        step("share", [&] { shareBase(share); });
        step("share access", [&] { shares_.grantAccess(share); });
    }
    values_.serverShareFolder = "\\\\" + values_.computerName + "\\OrvShare$";
    // The first pass goes ahead of every tick's work on the worker.
    onPassThread([this] {
        if (resultFolderAndDatabaseExist()) firstPasses();
    });
    if (values_.registersAutostart) step("startup entry", [&] { makeStartupEntry(); });
}

bool Console::importOnly() {
    return step("import", [&] { intake::importResults(ctx_, animation_, importMemory_); });
}

bool Console::listPage() {
    pagedAgents_.reset();
    return step("backup list page", [&] {
        pagedAgents_ =
            pages::writeBackupListPage(ctx_, logViewers_, importMemory_.resultTimes(),
                                       webListPage_ ? pages::WebCopy::yes : pages::WebCopy::no);
    });
}

bool Console::importAndPage() {
    const bool imported = importOnly();
    const bool paged = listPage();
    return imported && paged;
}

bool Console::checksAndPage(intake::AnimationRun* run) {
    if (run) run->step();
    bool checked = false;
    step("checks", [&] { checked = runChecks(); });
    if (run) run->step();
    const bool paged = step("share drive page", [&] { pages::writeShareDrivePage(ctx_); });
    return checked && paged;
}

void Console::tell(const Notice& notice) {
    ctx_.failures.report(notice.topic, notice.line);
    if (noticeTold_) noticeTold_(notice);
}

void Console::checkBaseFolderTakesFiles() {
    const std::string folder = platform::utf8Of(ctx_.base.root());
    try {
        const platform::ScratchFile probe(ctx_.base.root());
    } catch (const std::system_error& e) {
        tell({"folder access",
              folder + " takes no files (" + e.code().message() +
                  "); results are not taken in and the pages stay as they are",
              "フォルダー " + folder +
                  " に書き込めません。結果の取り込みもページの更新もできません。"
                  "管理者に書き込みの権限を付けてもらってください。"});
    }
}

void Console::shareBase(const std::filesystem::path& share) {
    const BaseShare shared =
        shareBaseFolder(platform::utf8Of(share), values_.computerName, shares_);
    if (shared.problem.empty()) return;
    if (shared.outcome.kind != platform::ShareOutcome::Kind::failed) {
        ctx_.failures.report("share", shared.problem);
        return;
    }
    tell({"share", shared.problem,
          "共有 OrvShare$ を作成できません（" + shared.outcome.detail +
              "）。エージェントは結果を届けられません。セットアップを管理者としてもう一度実行して"
              "ください。"});
}

bool Console::sharedByInstaller(const std::filesystem::path& share) const {
    if (values_.installerShare.empty()) return false;
    // Windows finds no folder whose name ends in a separator.
    const auto recorded =
        platform::pathFromUtf8(platform::withoutTrailingSeparators(values_.installerShare));
    std::error_code ec;
    return std::filesystem::equivalent(recorded, share, ec);
}

void Console::makeStartupEntry() {
    const auto file = platform::pathFromUtf8(platform::startupEntryFileName(kStartupEntryName));
    const auto allUsersFolder = platform::pathFromUtf8(values_.allUsersStartupFolder);
    const auto ownFolder = platform::pathFromUtf8(values_.startupFolder);
    // An entry whose program was moved or taken away starts nothing.
    const auto starts = [](const std::filesystem::path& entry) {
        if (!platform::fileExists(entry)) return false;
        const auto program = platform::startupEntryTarget(entry);
        return !program || platform::fileExists(*program);
    };
    if (starts(allUsersFolder / file) || starts(ownFolder / file)) return;
    platform::createStartupEntry(ownFolder, kStartupEntryName,
                                 platform::pathFromUtf8(values_.program), ctx_.base.root());
}

void Console::Timer1() {
    if (inTimer1_) return;
    // Every tick but the first after start-up imports.
    if (importTicks_ > 0) {
        inTimer1_ = true;
        onPassThread([this] {
            const Running running(inTimer1_);
            if (!resultFolderAndDatabaseExist()) return;
            timedPass(
                PassKind::import, [this] { return importAndPage(); },
                pages::StatusExports::When::changed);
        });
        importTicks_ = 0;
    }
    ++importTicks_;
}

void Console::Timer2() {
    if (inTimer2_) return;
    if (checkTicks_ >= kTicksBetweenChecks) {
        inTimer2_ = true;
        onPassThread([this] {
            const Running running(inTimer2_);
            // The icon is put back however the work ends.
            intake::AnimationRun run(animation_);
            if (!resultFolderAndDatabaseExist()) return;
            // The page after the checks shows their codes at once; the
            // exports are written even unchanged, to tell the console runs.
            timedPass(
                PassKind::checks,
                [&] {
                    const bool checked = checksAndPage(&run);
                    const bool paged = listPage();
                    return checked && paged;
                },
                pages::StatusExports::When::always);
        });
        checkTicks_ = 0;
    }
    ++checkTicks_;
}

void Console::Timer3() {
    if (inTimer3_) return;
    inTimer3_ = true;
    onPassThread([this] {
        bool taken = false;
        std::vector<removable::Registration> requests;
        step("media requests", [&] { taken = removable::takeMediaRequests(ctx_, requests); });
        // Nobody may sit at the console: the administrators hear of new requests by mail.
        if (!requests.empty())
            step("request mail", [&] {
                std::vector<alerts::MediaRequestNote> notes;
                for (const auto& r : requests)
                    notes.push_back({r.serial, r.size, r.userIds, r.remark});
                alerts::queueRequestMail(ctx_, notes);
                mailAfterPasses();
            });
        step("media use", [&] { removable::recordMediaUse(ctx_, values_.workingFolder); });
        // The question is asked on the window thread; the timer stays held until it is answered.
        onWindowThread([this, taken] {
            const Running running(inTimer3_);
            if (taken && dialogs_)
                step("media request prompt",
                     [&] { removable::askToRegister(*dialogs_, openCheckWindow_); });
        });
    });
}

bool Console::runChecks() {
    // The survey and the check share what they learn of the network: a server
    // that was silent for one is not asked again by the other.
    platform::ShareLookup pass(store::listedServersSignIn(ctx_.base, ctx_.failures));
    const bool surveyed = step("drive survey", [&] { intake::surveyShareDrives(ctx_, {}, &pass); });
    const bool checked =
        step("destination check", [&] { intake::checkDestinations(ctx_, {}, &pass); });
    // Not part of the checks: a history that cannot be kept fails no pass.
    step("history", [&] { keepHistory(HistoryUse::makeAndPrune); });
    return surveyed && checked;
}

void Console::keepHistory(HistoryUse use) {
    store::Connection db = store::openMng(ctx_.base);
    const auto turn = store::writeTurn(ctx_);
    store::ensureHistoryTables(db);
    if (use == HistoryUse::makeAndPrune)
        store::pruneHistory(db, ctx_.clock.now(), store::historyDays(ctx_.base));
}

}  // namespace plenvo::app
