#include <iostream>

#include "app/console_run.h"
#include "app/management.h"
#include "app/plain_loop.h"
#include "app/startup.h"
#include "platform/stop_request.h"
#include "platform/utf8_path.h"

namespace plenvo::app {

// The Windows console runs headless until its own tray and windows exist.
int runConsole(const ConsoleRun& run) {
    platform::SystemClock clock;
    platform::StderrFailureLog failures;
    std::stop_source ending;
    const platform::RunContext ctx{platform::BaseFolder(run.base), clock, failures,
                                   ending.get_token()};
    IconAnimation animation(run.version);
    std::cerr << "PlenvoBackupMng: running headless (no tray icon) for "
              << platform::utf8Of(run.base) << "\n";
    PlainLoop loop(std::chrono::milliseconds(run.tickMs), failures);
    // A stop request during the start-up ends the console as soon as the loop runs.
    const platform::StopRequestWatch stopRequests([&loop] { loop.quit(); });
    PassWorker worker;
    ManageMent management(ctx, animation, nullptr, nullptr, loop.workPlacesOn(worker));
    management.startUp(collectStartupValues(run.version));
    const int rc = loop.run(management);
    endPasses(worker, ending, ctx, rc);
    return rc;
}

}  // namespace plenvo::app
