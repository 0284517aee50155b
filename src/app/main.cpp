#include <QCoreApplication>
#include <iostream>

#include "app/command_line.h"
#include "app/installation.h"
#include "app/management.h"
#include "app/startup.h"
#include "app/timer_loop.h"
#include "platform/environment.h"
#include "platform/single_instance.h"

using namespace plenvo;

namespace {

void say(const std::string& line) { std::cout << line << std::endl; }

}  // namespace

int main(int argc, char** argv) {
    const std::string version = PLENVO_VERSION;
    const auto parsed = app::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "PlenvoBackupMng: " << parsed.error << "\n" << app::usageText();
        return 2;
    }
    const app::Options& options = *parsed.options;

    if (options.install) {
        QCoreApplication qt(argc, argv);
        return app::installTo(*options.install, say) ? 0 : 1;
    }

    const std::filesystem::path base =
        options.base ? std::filesystem::absolute(*options.base) : platform::executablePath().parent_path();
    const auto guard = platform::acquireSingleInstance(base);
    if (!guard) {
        std::cerr << "PlenvoBackupMng: already running for " << base.string() << "\n";
        return 0;
    }

    platform::SystemClock clock;
    platform::StderrFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    app::IconAnimation animation(version);
    app::ManageMent management(ctx, animation, nullptr);

    if (options.once) {
        management.startUp(app::collectStartupValues(version));
        return 0;
    }

    QCoreApplication qt(argc, argv);
    std::cerr << "PlenvoBackupMng: running headless (no tray icon) for " << base.string() << "\n";
    management.startUp(app::collectStartupValues(version));
    app::TimerLoop timers(management, options.tickMs);
    app::quitOnTerminationSignals();
    return qt.exec();
}
