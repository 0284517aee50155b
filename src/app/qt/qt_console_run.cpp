#include <QApplication>

#include "app/console_run.h"
#include "app/qt/desktop_console.h"
#include "app/qt/front_tray.h"
#include "platform/core/journal_line.h"
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

int runFront(const std::string& served, int argc, char** argv) {
    if (!platform::desktopSessionAvailable()) {
        platform::tellLine(platform::LinePriority::failure,
                           "PlenvoBackupMngTray: no display to show a tray icon on");
        return 2;
    }
    return runFrontTray(served, argc, argv);
}

}  // namespace plenvo::app
