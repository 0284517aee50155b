#include "app/console_run.h"
#include "app/win32/win_tray_console.h"

namespace plenvo::app {

int runConsole(const ConsoleRun& run) {
    if (!run.headless) {
        if (const auto rc = runWin32TrayConsole(run)) return *rc;
    }
    return runHeadless(run);
}

}  // namespace plenvo::app
