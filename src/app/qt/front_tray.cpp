#include "app/qt/front_tray.h"

#include <QApplication>
#include <optional>

#include "app/front_menu.h"
#include "app/icon_animation.h"
#include "app/icon_wait.h"
#include "app/qt/tray_images.h"
#include "platform/core/journal_line.h"
#include "platform/desktop/open_document.h"
#include "platform/process/stop_request.h"

namespace plenvo::app {

FrontTray::FrontTray(std::string served, std::function<void(const std::string&)> open,
                     std::function<void()> quit)
    : served_(std::move(served)) {
    icon_.setIcon(trayFrame(IconAnimation::kRestingFrame));
    icon_.setToolTip("Plenvo Backup Manager");
    for (const FrontEntry& entry : kFrontEntries) {
        QAction* action =
            menu_.addAction(menuBitmap(entry.bitmap), QString::fromUtf8(entry.caption));
        QObject::connect(action, &QAction::triggered, &menu_, [this, entry, open, quit] {
            if (entry.page)
                open(frontAddress(served_, entry));
            else
                quit();
        });
    }
    icon_.setContextMenu(&menu_);
    // A left click opens the state, as the console's first entry does.
    QObject::connect(&icon_, &QSystemTrayIcon::activated, &menu_,
                     [this, open](QSystemTrayIcon::ActivationReason why) {
                         if (why == QSystemTrayIcon::Trigger)
                             open(frontAddress(served_, kFrontEntries[0]));
                     });
}

bool FrontTray::show() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    icon_.show();
    return true;
}

int runFrontTray(const std::string& served, int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const auto quit = [] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    };
    FrontTray tray(served, platform::openWebAddress, quit);
    const platform::StopRequestWatch stopRequests(quit);
    std::optional<IconWait> iconWait;
    if (!tray.show())
        iconWait.emplace(
            [](std::function<void()> work) {
                QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                                          Qt::QueuedConnection);
            },
            [&tray] { return tray.show(); });
    platform::tellLine(platform::LinePriority::info,
                       "PlenvoBackupMngTray: the tray of the console served at " + served);
    return QApplication::exec();
}

}  // namespace plenvo::app
