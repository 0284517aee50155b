#include "app/qt/desktop_console.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSystemTrayIcon>
#include <QTranslator>

#include "app/qt/qt_dialogs.h"
#include "app/qt/qt_slow_work.h"
#include "app/qt/qt_window_host.h"
#include "app/qt/timer_loop.h"
#include "app/qt/tray_icon.h"
#include "app/tray_console.h"

namespace plenvo::app {
namespace {

class QtToolkit final : public TrayToolkit {
  public:
    explicit QtToolkit(int tickMs) : tickMs_(tickMs) {
        // Qt's own texts (the folder picker's buttons) in Japanese, like the rest.
        if (japanese_.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&japanese_);
        // Closing the settings window must not end a console that has no window.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    ui::Dialogs& dialogs() override { return dialogs_; }
    ui::WindowHost& windows() override { return windows_; }
    ui::SlowWork& slowWork() override { return slowWork_; }
    WorkPlaces workPlacesOn(PassWorker& worker) override { return app::workPlacesOn(worker); }
    void startTimers(Console& console) override { timers_.emplace(console, tickMs_); }
    void setTimer1Enabled(bool on) override {
        if (timers_) timers_->setTimer1Enabled(on);
    }
    IconShown showIcon(IconAnimation& animation, TrayMenu& menu) override {
        // Tracked by Qt: a tray host started later is seen here.
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return IconShown::notYet;
        tray_.emplace(animation, menu);
        tray_->show();
        if (pendingBalloon_) {
            showBalloon(pendingBalloon_->first, pendingBalloon_->second);
            pendingBalloon_.reset();
        }
        return IconShown::yes;
    }
    void showBalloon(const std::string& title, const std::string& text) override {
        // Told before the desktop's tray came: shown with the icon.
        if (!tray_) {
            pendingBalloon_.emplace(title, text);
            return;
        }
        tray_->icon().showMessage(QString::fromStdString(title), QString::fromStdString(text),
                                  QSystemTrayIcon::Warning);
    }
    void removeIcon() override {
        if (tray_) tray_->hide();
    }
    // Queued onto the Qt loop: a stop request is told on a thread of its own.
    void quit() override {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    }
    int run(Console&) override { return QApplication::exec(); }
    void letGo() override {
        tray_.reset();
        timers_.reset();
    }

  private:
    const int tickMs_;
    QTranslator japanese_;
    QtDialogs dialogs_;
    QtWindowHost windows_;
    QtSlowWork slowWork_;
    std::optional<TimerLoop> timers_;
    std::optional<TrayIcon> tray_;
    std::optional<std::pair<std::string, std::string>> pendingBalloon_;
};

}  // namespace

std::optional<int> runQtTrayConsole(const ConsoleRun& run) {
    QtToolkit toolkit(run.tickMs);
    return runTrayConsole(run, toolkit);
}

}  // namespace plenvo::app
