#include "app/console_run.h"
#include "app/win32/win_tray_console.h"
#include "platform/core/journal_line.h"

namespace plenvo::app {

int runConsole(const ConsoleRun& run) {
    if (!run.headless) {
        if (const auto rc = runWin32TrayConsole(run)) return *rc;
    }
    return runHeadless(run);
}

int runFront(const std::string&, int, char**) {
    platform::tellLine(platform::LinePriority::failure,
                       "PlenvoBackupMng: --front is for Linux desktops; on Windows this program "
                       "is the console, with its own tray icon");
    return 2;
}

}  // namespace plenvo::app
