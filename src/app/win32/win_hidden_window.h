#pragma once

#include <windows.h>

#include <functional>
#include <optional>

namespace plenvo::app {

// A top-level window that is never shown. Not a message-only window: the
// system's broadcasts (the session ending, the taskbar coming back) reach only
// top-level windows, and the loops of menus and modal windows keep
// dispatching its messages like any other's.
class HiddenWindow {
  public:
    // Answers a message, or gives nullopt for the default handling. Runs on
    // the thread that made the window; what it throws is dropped there.
    using Handler = std::function<std::optional<LRESULT>(UINT message, WPARAM, LPARAM)>;

    HiddenWindow(const wchar_t* className, Handler handler);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // Null when the window could not be made (no window station to make it in).
    HWND handle() const { return window_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    HWND window_ = nullptr;
};

}  // namespace plenvo::app
