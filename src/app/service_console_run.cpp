#include "app/console_run.h"
#include "platform/core/journal_line.h"

namespace plenvo::app {

// The service program has no looks: it always runs headless.
int runConsole(const ConsoleRun& run) {
    return runHeadless(run);
}

int runFront(const std::string&, int, char**) {
    platform::tellLine(platform::LinePriority::failure,
                       "PlenvoBackupMng: --front is the tray program's (PlenvoBackupMngTray); "
                       "this one runs the console itself");
    return 2;
}

}  // namespace plenvo::app
