#include "app/win32/win_tray_console.h"

#include <windows.h>

#include "app/tray_console.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_slow_work.h"
#include "app/win32/win_tray_icon.h"
#include "app/win32/win_window_host.h"
#include "app/win32/win_window_loop.h"

namespace plenvo::app {
namespace {

// Started from the Startup folder or Explorer, the program has a console
// window of its own: a tray program shows none. One it shares with the
// command prompt that started it stays.
void letGoOfOwnConsole() {
    DWORD processes[2];
    if (::GetConsoleProcessList(processes, 2) == 1) ::FreeConsole();
}

class Win32Toolkit final : public TrayToolkit {
  public:
    explicit Win32Toolkit(int tickMs) : loop_(std::chrono::milliseconds(tickMs), failures_) {}

    ui::Dialogs& dialogs() override { return dialogs_; }
    ui::WindowHost& windows() override { return windows_; }
    ui::SlowWork& slowWork() override { return slowWork_; }
    WorkPlaces workPlacesOn(PassWorker& worker) override { return loop_.workPlacesOn(worker); }
    // The loop ticks the timers itself as it runs.
    void startTimers(Console&) override {}
    void setTimer1Enabled(bool on) override { loop_.setTimer1Enabled(on); }
    IconShown showIcon(IconAnimation& animation, TrayMenu& menu) override {
        if (!loop_.window()) return IconShown::never;
        // Kept while Explorer has not started yet: what it holds waits for the icon.
        if (!tray_) tray_.emplace(animation, menu, images_);
        if (!tray_->add()) return IconShown::notYet;
        letGoOfOwnConsole();
        return IconShown::yes;
    }
    void removeIcon() override {
        if (tray_) tray_->remove();
    }
    void showBalloon(const std::string& title, const std::string& text) override {
        if (tray_) tray_->showBalloon(title, text);
    }
    void quit() override { loop_.quit(); }
    int run(Console& console) override { return loop_.run(console); }
    void onSessionEnd(std::function<void()> ending) override {
        loop_.onSessionEnd(std::move(ending));
    }
    void letGo() override {
        loop_.onSessionEnd({});
        tray_.reset();
    }

  private:
    platform::SilentFailureLog failures_;
    WindowLoop loop_;
    Win32Dialogs dialogs_;
    Win32WindowHost windows_;
    Win32SlowWork slowWork_;
    const TrayImages images_;
    std::optional<TrayIcon> tray_;
};

}  // namespace

std::optional<int> runWin32TrayConsole(const ConsoleRun& run) {
    Win32Toolkit toolkit(run.tickMs);
    return runTrayConsole(run, toolkit);
}

}  // namespace plenvo::app
