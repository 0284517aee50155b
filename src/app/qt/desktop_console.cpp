#include "app/qt/desktop_console.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSystemTrayIcon>
#include <QTranslator>

#include "app/check_window.h"
#include "app/console.h"
#include "app/qt/qt_dialogs.h"
#include "app/qt/qt_slow_work.h"
#include "app/qt/qt_window_host.h"
#include "app/qt/timer_loop.h"
#include "app/qt/tray_icon.h"
#include "app/startup.h"
#include "app/tray_menu.h"
#include "platform/desktop/open_document.h"

namespace plenvo::app {

bool systemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

int runTrayConsole(const std::filesystem::path& base, const std::string& version, int tickMs) {
    // Qt's own texts (the folder picker's buttons) in Japanese, like the rest.
    QTranslator japanese;
    if (japanese.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&japanese);
    // Closing the settings window must not end a console that has no window.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::SystemClock clock;
    platform::SilentFailureLog failures;
    std::stop_source ending;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures, ending.get_token()};
    IconAnimation animation(version);
    QtDialogs dialogs;
    QtWindowHost windows;
    // Runs the passes; it is finished below, before anything they use goes away.
    PassWorker worker;
    Console management(ctx, animation, &dialogs, nullptr, workPlacesOn(worker));
    // Running from now on; the first ticks are handled after the start-up below.
    TimerLoop timers(management, tickMs);
    CheckWindowOpener checkWindow(management, dialogs, windows);
    const auto openCheckWindow = [&] { checkWindow(); };
    management.setCheckWindowOpener(openCheckWindow);

    QtSlowWork slowWork;
    TrayIcon* shown = nullptr;
    TrayMenu menu(management, dialogs, windows,
                  {.setTimer1Enabled = [&](bool on) { timers.setTimer1Enabled(on); },
                   .openDocument = platform::openDocument,
                   .openCheckWindow = openCheckWindow,
                   .quit =
                       [&shown] {
                           if (shown) shown->hide();
                           QApplication::quit();
                       },
                   .slowWork = &slowWork});
    TrayIcon tray(animation, menu);
    shown = &tray;
    tray.show();

    const auto stopRequests = quitOnStopRequest();
    management.startUp(collectStartupValues(version));
    const int rc = QApplication::exec();
    tray.hide();
    endPasses(worker, ending, ctx, rc);
    return rc;
}

}  // namespace plenvo::app
