#include <QApplication>

#include "app/console_run.h"
#include "app/qt/desktop_console.h"
#include "platform/desktop/desktop_session.h"

namespace plenvo::app {

int runConsole(const ConsoleRun& run) {
    // A widgets application cannot even start without a display: ask first.
    if (!run.headless && platform::desktopSessionAvailable()) {
        int argc = run.argc;
        QApplication qt(argc, run.argv);
        if (const auto rc = runQtTrayConsole(run)) return *rc;
    }
    // Without a display: the timers run on a plain loop.
    return runHeadless(run);
}

}  // namespace plenvo::app
