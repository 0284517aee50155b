#include <QApplication>
#include <QCoreApplication>

#include "app/console.h"
#include "app/console_run.h"
#include "app/qt/desktop_console.h"
#include "app/qt/timer_loop.h"
#include "app/startup.h"
#include "platform/desktop/desktop_session.h"

namespace plenvo::app {
namespace {

// Without a notification area: the timers run on whatever Qt application there is.
int runHeadless(const ConsoleRun& run) {
    HeadlessRun headless(run);
    const platform::RunContext& ctx = headless.ctx;
    // A stop request during the start-up ends the console as soon as the loop runs.
    const auto stopRequests = quitOnStopRequest();
    PassWorker worker;
    Console management(ctx, headless.animation, nullptr, nullptr, workPlacesOn(worker));
    const auto besides = run.beside ? run.beside(ctx, management) : nullptr;
    management.startUp(collectStartupValues(run.version));
    TimerLoop timers(management, run.tickMs);
    const int rc = QCoreApplication::exec();
    endPasses(worker, headless.ending, ctx, rc);
    return rc;
}

}  // namespace

int runConsole(const ConsoleRun& run) {
    int argc = run.argc;
    // A widgets application cannot even start without a display: ask first.
    if (!run.headless && platform::desktopSessionAvailable()) {
        QApplication qt(argc, run.argv);
        if (systemTrayAvailable()) {
            if (const auto rc = runQtTrayConsole(run)) return *rc;
        }
        return runHeadless(run);
    }
    QCoreApplication qt(argc, run.argv);
    return runHeadless(run);
}

}  // namespace plenvo::app
