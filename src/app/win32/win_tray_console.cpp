#include "app/win32/win_tray_console.h"

#include <windows.h>

#include "app/check_window.h"
#include "app/console.h"
#include "app/startup.h"
#include "app/tray_menu.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_slow_work.h"
#include "app/win32/win_tray_icon.h"
#include "app/win32/win_window_host.h"
#include "app/win32/win_window_loop.h"
#include "platform/desktop/open_document.h"
#include "platform/process/stop_request.h"

namespace plenvo::app {
namespace {

// Started from the Startup folder or Explorer, the program has a console
// window of its own: a tray program shows none. One it shares with the
// command prompt that started it stays.
void letGoOfOwnConsole() {
    DWORD processes[2];
    if (::GetConsoleProcessList(processes, 2) == 1) ::FreeConsole();
}

}  // namespace

std::optional<int> runTrayConsole(const std::filesystem::path& base, const std::string& version,
                                  int tickMs) {
    platform::SystemClock clock;
    platform::SilentFailureLog failures;
    std::stop_source ending;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures, ending.get_token()};
    IconAnimation animation(version);
    WindowLoop loop(std::chrono::milliseconds(tickMs), failures);
    Win32Dialogs dialogs;
    Win32WindowHost windows;
    // Runs the passes; it is finished below, before anything they use goes away.
    PassWorker worker;
    Console management(ctx, animation, &dialogs, nullptr, loop.workPlacesOn(worker));
    CheckWindowOpener checkWindow(management, dialogs, windows);
    const auto openCheckWindow = [&] { checkWindow(); };
    management.setCheckWindowOpener(openCheckWindow);

    Win32SlowWork slowWork;
    TrayIcon* shown = nullptr;
    TrayMenu menu(management, dialogs, windows,
                  {.setTimer1Enabled = [&](bool on) { loop.setTimer1Enabled(on); },
                   .openDocument = platform::openDocument,
                   .openCheckWindow = openCheckWindow,
                   .quit =
                       [&] {
                           if (shown) shown->remove();
                           loop.quit();
                       },
                   .slowWork = &slowWork});
    const TrayImages images;
    TrayIcon tray(animation, menu, images);
    if (!loop.window() || !tray.add()) return std::nullopt;
    shown = &tray;
    letGoOfOwnConsole();

    bool ended = false;
    const auto end = [&](int rc) {
        if (ended) return;
        ended = true;
        tray.remove();
        endPasses(worker, ending, ctx, rc);
    };
    // Windows may end the process as soon as the session's end is answered.
    loop.onSessionEnd([&] { end(0); });
    // A stop request during the start-up ends the console as soon as the loop runs.
    const platform::StopRequestWatch stopRequests([&loop] { loop.quit(); });
    management.startUp(collectStartupValues(version));
    const int rc = loop.run(management);
    end(rc);
    return rc;
}

}  // namespace plenvo::app
