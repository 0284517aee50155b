#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

#include "app/console.h"
#include "app/pass_worker.h"
#include "app/win32/win_hidden_window.h"
#include "platform/core/failure_log.h"

namespace plenvo::app {

// The window thread of the Windows console: a hidden window carries the three
// timers and the work other threads hand back. Both go through its messages,
// so they keep running while a menu, a message box or a modal window runs a
// loop of its own. A failure inside a tick or a piece of work is told and
// never ends the loop.
class WindowLoop {
  public:
    // Timers are numbered 1 to 3.
    using Tick = std::function<void(int timer)>;

    // On the thread that is to run the loop.
    WindowLoop(std::chrono::milliseconds interval, platform::FailureLog& failures);
    ~WindowLoop();
    WindowLoop(const WindowLoop&) = delete;
    WindowLoop& operator=(const WindowLoop&) = delete;

    // From any thread. Work runs on the window thread in the order it was
    // posted; what is still queued when the loop ends is dropped.
    void post(std::function<void()> work);
    // From any thread; the first code given is the one run() returns.
    void quit(int exitCode = 0);

    // The tray menu holds the import off while it is open.
    void setTimer1Enabled(bool enabled);
    bool timer1Enabled() const { return timer1Enabled_; }

    // Told on the window thread when the session ends: Windows may end the
    // process as soon as the message is answered, so the ending is done there.
    void onSessionEnd(std::function<void()> ending) { sessionEnd_ = std::move(ending); }

    // Ticks the timers and runs posted work on the calling thread until quit.
    int run(const Tick& tick);
    // Ticks the console's Timer1, Timer2 and Timer3.
    int run(Console& management);

    // The passes on `worker`, the prompts back on this loop.
    WorkPlaces workPlacesOn(PassWorker& worker);

    HWND window() const { return window_.handle(); }

  private:
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    void runOnePosted();
    void setTimer(int timer, bool on);

    const std::chrono::milliseconds interval_;
    platform::FailureLog& failures_;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    const Tick* tick_ = nullptr;
    bool running_ = false;
    bool quitting_ = false;
    bool timer1Enabled_ = true;
    std::function<void()> sessionEnd_;
    HiddenWindow window_;  // last: its messages may come as soon as it exists
};

}  // namespace plenvo::app
