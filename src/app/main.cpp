#include <iostream>

#include "app/command_line.h"
#include "app/console.h"
#include "app/console_run.h"
#include "app/installation.h"
#include "app/share_routines.h"
#include "app/startup.h"
#include "app/web_settings.h"
#include "platform/core/journal_line.h"
#include "platform/process/environment.h"
#include "platform/process/process_start.h"
#include "platform/process/single_instance.h"
#include "platform/process/stop_request.h"
#include "platform/setup/install_record.h"
#include "platform/text/utf8_path.h"
#include "web/web_view_keeper.h"

using namespace plenvo;

namespace {

void say(const std::string& line) {
    std::cout << line << std::endl;
}

// 0 when nothing was refused, else 1 with the reason told.
int tellRefusal(const std::string& refusal) {
    if (refusal.empty()) return 0;
    say(refusal);
    return 1;
}

// One pass of everything the start-up does, then the end: nobody is asked anything.
int runOnce(const std::filesystem::path& base, const std::string& version) {
    platform::SystemClock clock;
    platform::StderrFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    app::IconAnimation animation(version);
    app::Console management(ctx, animation, nullptr);
    management.startUp(app::collectStartupValues(version));
    return 0;
}

// The installer's share, made or taken away as an administrator, and the
// record of it that keeps the console from trying.
int shareStep(const app::Options& options, const std::filesystem::path& share,
              const std::filesystem::path& olderShare) {
    platform::SystemShareService shares;
    if (options.removeShare) {
        if (!app::unshareForUninstaller(share, shares, say)) return 1;
        return tellRefusal(platform::recordSharedFolder(std::nullopt));
    }
    if (!app::shareForInstaller(share, olderShare, shares, say)) {
        // Not there, or not this folder's: the console tries and tells.
        platform::recordSharedFolder(std::nullopt);
        return 1;
    }
    return tellRefusal(platform::recordSharedFolder(share));
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

    if (options.install) return app::installTo(*options.install, say) ? 0 : 1;
    if (options.front) return app::runFront(*options.front, argc, argv);
    if (options.installData)
        return app::installDataTo(std::filesystem::absolute(*options.installData), say) ? 0 : 1;
    const std::filesystem::path self = platform::executablePath();
    const std::filesystem::path programFolder = self.parent_path();
    if (options.endConsoles) {
        const auto program = std::filesystem::absolute(*options.endConsoles) / self.filename();
        const int left = platform::endConsolesOf(program, std::chrono::seconds(30));
        if (left > 0)
            say(std::to_string(left) + " console(s) still run " + platform::utf8Of(program));
        return left > 0 ? 1 : 0;
    }

    // Where the installer put the data, unless told otherwise; else beside the program.
    const platform::InstallRecord record = platform::readInstallRecord();
    const std::filesystem::path base = options.base ? std::filesystem::absolute(*options.base)
                                                    : record.dataFolder.value_or(programFolder);
    if (options.makeShare || options.removeShare)
        return shareStep(options, platform::BaseFolder(base).at("\\OrvShare"),
                         programFolder / "OrvShare");
    const auto instance = platform::acquireSingleInstance(base);
    if (!instance) {
        platform::tellLine(platform::LinePriority::failure, "PlenvoBackupMng: " + instance.refusal);
        return platform::kNotStartedStatus;
    }
    if (options.once) return runOnce(base, version);

    // The web view serves for the console's whole life, on threads of its own.
    // Options it can never serve end the console; an address another program
    // holds is tried again at every tick while the passes go on.
    platform::StderrFailureLog webFailures;
    std::unique_ptr<web::WebViewKeeper> webView;
    if (options.http) {
        auto started =
            web::WebViewKeeper::start(*options.http, platform::BaseFolder(base), webFailures,
                                      std::chrono::milliseconds(options.tickMs));
        if (const auto* why = std::get_if<std::string>(&started)) {
            platform::tellLine(platform::LinePriority::failure, "PlenvoBackupMng: " + *why);
            return 2;
        }
        webView = std::move(std::get<std::unique_ptr<web::WebViewKeeper>>(started));
    }
    // The view's actions take the console's write turns, once it has them.
    app::BesideConsole beside;
    if (webView)
        beside = [&webView, &version](const platform::RunContext& ctx, app::Console& console) {
            // What each destination's SRV.ini names, as the settings window writes it.
            auto settings = std::make_shared<app::ConsoleWebSettings>(
                ctx, console.monitoringFlag(), app::collectStartupValues(version).serverShareFolder,
                [&console] { return console.passFigures(); });
            webView->console().attach(ctx, settings.get());
            console.writeWebListPage(true);
            return std::shared_ptr<void>(
                settings.get(), [&webView, settings](void*) { webView->console().detach(); });
        };
    app::ServedAddress webAddress;
    if (webView)
        webAddress = [&webView]() -> std::optional<std::string> {
            return webView->servedAddress();
        };
    return app::runConsole({.base = base,
                            .version = version,
                            .tickMs = options.tickMs,
                            .headless = options.headless,
                            .registersAutostart = !options.base,
                            .argc = argc,
                            .argv = argv,
                            .beside = beside,
                            .webAddress = webAddress});
}
