#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

namespace plenvo::test {

// Runs a test's steps from inside whatever message loop runs (a view's, a
// message box's), each as a message posted to a hidden window of its own, as
// the console's timers and posted work arrive. A step runs once everything
// the step before it posted has been handled. Whatever is still open after
// some seconds is closed, so that no test can hang.
class Driver {
  public:
    Driver();
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    Driver& then(std::function<void()> step);
    // Waits, from message to message, until `ready` holds, then goes on.
    Driver& when(std::function<bool()> ready);
    // Posts the first step; the steps run once a message loop runs.
    void start();

    HWND window() const { return window_; }
    // Ticks of a window timer of the driver's own, every 10 ms once started.
    void startTicking();
    int ticks() const { return ticks_; }
    bool finished() const { return steps_.empty(); }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void next();
    void giveUp();

    HWND window_ = nullptr;
    std::deque<std::function<bool()>> steps_;
    int ticks_ = 0;
};

// Windows of this thread with this caption, or nullptr.
HWND threadWindowTitled(const std::string& caption);
// A key pressed on the control that has the focus, or on `target`.
void postKey(WPARAM key, HWND target = nullptr);
// What a control tells its parent when the user works it.
void postNotification(HWND control, WORD code);

}  // namespace plenvo::test
