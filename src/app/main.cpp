#include <QApplication>
#include <QCoreApplication>
#include <iostream>

#include "app/command_line.h"
#include "app/installation.h"
#include "app/management.h"
#include "app/qt/desktop_console.h"
#include "app/startup.h"
#include "app/timer_loop.h"
#include "platform/desktop_session.h"
#include "platform/environment.h"
#include "platform/process_start.h"
#include "platform/single_instance.h"
#include "platform/utf8_path.h"

using namespace plenvo;

namespace {

void say(const std::string& line) {
    std::cout << line << std::endl;
}

// Without a notification area: the timers run on whatever Qt application there
// is, failures go to standard error, and nobody is asked anything.
int runHeadless(const std::filesystem::path& base, const std::string& version, int tickMs,
                bool once) {
    platform::SystemClock clock;
    platform::StderrFailureLog failures;
    std::stop_source ending;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures, ending.get_token()};
    app::IconAnimation animation(version);
    if (once) {
        app::ManageMent management(ctx, animation, nullptr);
        management.startUp(app::collectStartupValues(version));
        return 0;
    }
    std::cerr << "PlenvoBackupMng: running headless (no tray icon) for " << platform::utf8Of(base)
              << "\n";
    // A stop request during the start-up ends the console as soon as the loop runs.
    const auto stopRequests = app::quitOnStopRequest();
    app::PassWorker worker;
    app::ManageMent management(ctx, animation, nullptr, nullptr, app::workPlacesOn(worker));
    management.startUp(app::collectStartupValues(version));
    app::TimerLoop timers(management, tickMs);
    const int rc = QCoreApplication::exec();
    app::endPasses(worker, ending, ctx, rc);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    platform::prepareProcess();
    const std::string version = PLENVO_VERSION;
    const auto parsed = app::parseCommandLine(platform::commandLineArguments(argc, argv));
    if (!parsed.options) {
        std::cerr << "PlenvoBackupMng: " << parsed.error << "\n" << app::usageText();
        return 2;
    }
    const app::Options& options = *parsed.options;

    if (options.install) {
        QCoreApplication qt(argc, argv);
        return app::installTo(*options.install, say) ? 0 : 1;
    }

    const std::filesystem::path base = options.base ? std::filesystem::absolute(*options.base)
                                                    : platform::executablePath().parent_path();
    const auto guard = platform::acquireSingleInstance(base);
    if (!guard) {
        std::cerr << "PlenvoBackupMng: already running for " << platform::utf8Of(base) << "\n";
        return 0;
    }
    if (options.once) return runHeadless(base, version, options.tickMs, true);

    // A widgets application cannot even start without a display: ask first.
    if (!options.headless && platform::desktopSessionAvailable()) {
        QApplication qt(argc, argv);
        if (app::systemTrayAvailable()) return app::runTrayConsole(base, version, options.tickMs);
        return runHeadless(base, version, options.tickMs, false);
    }
    QCoreApplication qt(argc, argv);
    return runHeadless(base, version, options.tickMs, false);
}
