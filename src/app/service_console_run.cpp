#include "app/console_run.h"

namespace plenvo::app {

// The service program has no looks: it always runs headless.
int runConsole(const ConsoleRun& run) {
    return runHeadless(run);
}

}  // namespace plenvo::app
