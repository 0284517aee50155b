#include "app/tray_console.h"

#include "app/check_window.h"
#include "app/icon_wait.h"
#include "app/startup.h"
#include "app/tray_menu.h"
#include "platform/core/journal_line.h"
#include "platform/desktop/open_document.h"
#include "platform/process/stop_request.h"

namespace plenvo::app {

std::optional<int> runTrayConsole(const ConsoleRun& run, TrayToolkit& toolkit) {
    const std::string& version = run.version;
    platform::SystemClock clock;
    platform::SilentFailureLog failures;
    std::stop_source ending;
    const platform::RunContext ctx{platform::BaseFolder(run.base), clock, failures,
                                   ending.get_token()};
    IconAnimation animation(version);
    // Runs the passes; it is finished below, before anything they use goes away.
    PassWorker worker, mailSender;
    Console console(ctx, animation, &toolkit.dialogs(), nullptr,
                    withMailSender(toolkit.workPlacesOn(worker), mailSender));
    toolkit.startTimers(console);
    CheckWindowOpener checkWindow(console, toolkit.dialogs(), toolkit.windows());
    const auto openCheckWindow = [&] { checkWindow(); };
    console.setCheckWindowOpener(openCheckWindow);

    TrayMenu menu(console, toolkit.dialogs(), toolkit.windows(),
                  {.setTimer1Enabled = [&](bool on) { toolkit.setTimer1Enabled(on); },
                   .openDocument = platform::openDocument,
                   .webAddress = run.webAddress,
                   .openWebAddress = platform::openWebAddress,
                   .openCheckWindow = openCheckWindow,
                   .quit =
                       [&] {
                           toolkit.removeIcon();
                           toolkit.quit();
                       },
                   .slowWork = &toolkit.slowWork()});
    // Destroyed first: the icon and the timers refer to the parts above.
    const struct LetGo {
        TrayToolkit& toolkit;
        ~LetGo() { toolkit.letGo(); }
    } letGo{toolkit};
    const IconShown shown = toolkit.showIcon(animation, menu);
    if (shown == IconShown::never) return std::nullopt;
    std::optional<IconWait> iconWait;
    if (shown == IconShown::notYet)
        iconWait.emplace(toolkit.workPlacesOn(worker).window,
                         [&] { return toolkit.showIcon(animation, menu) == IconShown::yes; });
    const auto besides = run.beside ? run.beside(ctx, console) : nullptr;

    bool ended = false;
    const auto end = [&](int rc) {
        if (ended) return;
        ended = true;
        toolkit.removeIcon();
        endPasses(worker, ending, ctx, rc);
        endPasses(mailSender, ending, ctx, rc);
    };
    toolkit.onSessionEnd([&] { end(0); });
    // A stop request during the start-up ends the console as soon as the loop runs.
    const platform::StopRequestWatch stopRequests([&toolkit] { toolkit.quit(); });
    StartupValues values = collectStartupValues(version);
    values.registersAutostart = run.registersAutostart;
    std::string balloon;
    console.setNoticeTold([&balloon](const Notice& notice) {
        platform::tellLine(platform::LinePriority::warning, notice.topic + ": " + notice.line);
        balloon += (balloon.empty() ? "" : "\n") + notice.balloon;
    });
    console.startUp(values);
    console.setNoticeTold({});
    if (!balloon.empty()) toolkit.showBalloon(ui::kApplicationTitle, balloon);
    const int rc = toolkit.run(console);
    end(rc);
    return rc;
}

}  // namespace plenvo::app
