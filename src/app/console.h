#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "app/icon_animation.h"
#include "app/startup_values.h"
#include "intake/result_import.h"
#include "intake/work_animation.h"
#include "pages/log_viewer.h"
#include "pages/status_export.h"
#include "pages/status_snapshot.h"
#include "platform/core/run_context.h"
#include "platform/network/network_share.h"
#include "store/monitoring_flag.h"
#include "ui/dialogs.h"

namespace plenvo::app {

// Where the console's work runs: the passes on one worker thread, the prompts
// back on the window thread. Left empty, work runs at once on the caller's
// thread (a single run, tests).
struct WorkPlaces {
    std::function<void(std::function<void()>)> pass;
    std::function<void(std::function<void()>)> window;
    // The mail's own sender, so that no pass waits on a mail server; without
    // one (a single run, tests) mail goes out on the pass itself.
    std::function<void(std::function<void()>)> mail{};
};

// What the work after a pass learns of it: which pass, how long it took and
// whether every step of it went through.
enum class PassKind { import, checks };
struct PassOutcome {
    PassKind kind = PassKind::import;
    std::chrono::milliseconds duration{0};
    bool succeeded = true;
};

// What the administrator must hear of even in the tray, where failures are
// not told: the console cannot do its work until it is mended.
struct Notice {
    std::string topic;    // as the failure lines name it
    std::string line;     // the failure line's text
    std::string balloon;  // the same for the tray, in the console's language
};

// The console's main window without its looks: the start-up sequence, the
// three timers with their counters, and the work each of them does.
class Console {
  public:
    // `dialogs` is null when nobody sits at the console (headless); `shares`
    // null means this machine's own share service.
    Console(const platform::RunContext& ctx, IconAnimation& animation, ui::Dialogs* dialogs,
            platform::ShareService* shares = nullptr, WorkPlaces places = {});

    // Start-up from the environment values on. Every step that fails is
    // skipped; the next one runs.
    void startUp(const StartupValues& values);

    // The ticks count on the window thread and hand their work to the pass
    // worker. A tick that falls due while the same timer's work is still queued
    // or running (or in a message box it opened) is dropped: ticks never pile up.
    void Timer1();
    void Timer2();
    void Timer3();
    // The checks run at every this many ticks of Timer2.
    static constexpr int kTicksBetweenChecks = 10;

    // The survey and the destination check; false when either failed.
    bool runChecks();

    // Where notices go besides the failure lines (set by the tray console).
    void setNoticeTold(std::function<void(const Notice&)> told) { noticeTold_ = std::move(told); }

    // Whether each list page is written for the web view too (set while it is served).
    void writeWebListPage(bool yes) { webListPage_ = yes; }

    // Opens the removable media check window (set by the desktop console).
    void setCheckWindowOpener(std::function<void()> opener) {
        openCheckWindow_ = std::move(opener);
    }

    bool resultFolderAndDatabaseExist() const;
    const StartupValues& values() const { return values_; }
    store::MonitoringFlag& monitoringFlag() { return flag_; }
    // Ticks of the import and the check timer since their work last fell due.
    int importTicks() const { return importTicks_; }
    int checkTicks() const { return checkTicks_; }
    const platform::RunContext& context() const { return ctx_; }
    // The last import and the last checks, as the exports tell them.
    std::vector<pages::PassFigures> passFigures() const;

  private:
    // Runs one step; a failure is told and the caller goes on. False when it failed.
    bool step(const char* name, const std::function<void()>& work);
    // Runs a pass's steps (which say whether they went through), timed.
    PassOutcome measured(PassKind kind, const std::function<bool()>& steps);
    // Times a pass's steps and does what follows a pass.
    void timedPass(PassKind kind, const std::function<bool()>& steps,
                   pages::StatusExports::When exported);
    // The passes of a start: import, checks, then the pages, and what
    // follows a pass done once for both.
    void firstPasses();
    // Makes the history tables where missing and, after the checks, lets go
    // of their oldest rows.
    enum class HistoryUse { makeOnly, makeAndPrune };
    void keepHistory(HistoryUse use);
    // Keeps a pass's figures for the exports.
    void record(const PassOutcome& outcome);
    // What follows the passes (mail, exports), on the pass thread.
    void followUp(pages::StatusExports::When exported);
    // Delivers the mail outbox, on the mail's sender where there is one.
    void mailAfterPasses();
    void onPassThread(std::function<void()> work);
    void onWindowThread(std::function<void()> work);
    // The import and the backup list page, with what the last pass left;
    // the page leaves its rows for the exports.
    bool importOnly();
    bool listPage();
    bool importAndPage();
    bool checksAndPage(intake::AnimationRun* run = nullptr);
    void tell(const Notice& notice);
    void checkBaseFolderTakesFiles();
    void shareBase(const std::filesystem::path& share);
    bool sharedByInstaller(const std::filesystem::path& share) const;
    void makeStartupEntry();

    const platform::RunContext& ctx_;
    IconAnimation& animation_;
    ui::Dialogs* dialogs_;
    platform::SystemShareService systemShares_;
    platform::ShareService& shares_;
    StartupValues values_;
    store::MonitoringFlag flag_;
    WorkPlaces places_;
    std::atomic<bool> inTimer1_ = false, inTimer2_ = false, inTimer3_ = false;
    int importTicks_ = 0;
    int checkTicks_ = 0;
    std::function<void()> openCheckWindow_;
    std::function<void(const Notice&)> noticeTold_;
    // Kept from pass to pass; touched only on the pass thread.
    intake::ImportMemory importMemory_;
    pages::LogViewerCache logViewers_;
    std::optional<pages::AgentStatusList> pagedAgents_;
    std::atomic<bool> webListPage_ = false;  // from the page to the exports
    pages::StatusExports exports_;
    // The last import and the last checks, for the monitoring exports.
    std::array<pages::PassFigures, 2> passFigures_{
        pages::PassFigures{"import", std::nullopt, std::nullopt},
        pages::PassFigures{"checks", std::nullopt, std::nullopt}};
    mutable std::mutex figuresMutex_;  // the figures are read by the mail's sender too
    // A mail turn waits on the sender: the passes after it need queue none.
    std::atomic<bool> mailQueued_ = false;
};

// The name of the start-up entry.
inline constexpr const char* kStartupEntryName = "Plenvo Backup Manager";

}  // namespace plenvo::app
