#include "app/console_run.h"
#include "app/plain_loop.h"
#include "app/startup.h"
#include "platform/process/stop_request.h"

namespace plenvo::app {

int runHeadless(const ConsoleRun& run) {
    HeadlessRun headless(run);
    const platform::RunContext& ctx = headless.ctx;
    PlainLoop loop(std::chrono::milliseconds(run.tickMs), headless.failures);
    // A stop request during the start-up ends the console as soon as the loop runs.
    const platform::StopRequestWatch stopRequests([&loop] { loop.quit(); });
    PassWorker worker, mailSender;
    Console management(ctx, headless.animation, nullptr, nullptr,
                       withMailSender(loop.workPlacesOn(worker), mailSender));
    const auto besides = run.beside ? run.beside(ctx, management) : nullptr;
    management.startUp(collectStartupValues(run.version));
    const int rc = loop.run(management);
    endPasses(worker, headless.ending, ctx, rc);
    endPasses(mailSender, headless.ending, ctx, rc);
    return rc;
}

}  // namespace plenvo::app
