#include "app/win32/win_slow_work.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace plenvo::app {
namespace {

struct EventRelease {
    void operator()(HANDLE event) const { ::CloseHandle(event); }
};

// Holds the window in front off input for as long as it lives, and gives its
// focus back afterwards.
class HeldWindow {
  public:
    HeldWindow() : window_(::GetActiveWindow()), focus_(::GetFocus()) {
        // EnableWindow tells whether the window was disabled already.
        held_ = window_ && !::EnableWindow(window_, FALSE);
    }
    ~HeldWindow() {
        if (!held_) return;
        ::EnableWindow(window_, TRUE);
        if (focus_ && ::IsWindow(focus_)) ::SetFocus(focus_);
    }
    HeldWindow(const HeldWindow&) = delete;
    HeldWindow& operator=(const HeldWindow&) = delete;

  private:
    HWND window_;
    HWND focus_;
    bool held_ = false;
};

}  // namespace

void Win32SlowWork::run(const std::function<void()>& work) {
    const std::unique_ptr<void, EventRelease> done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEventW");
    // The work may post to this thread (a quit, say): its queue must exist
    // before the work starts, or the post is lost.
    MSG none;
    ::PeekMessageW(&none, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const HeldWindow held;
    std::exception_ptr failure;
    std::thread away([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        ::SetEvent(done.get());
    });
    std::optional<int> quit;
    const HANDLE waitFor = done.get();
    for (;;) {
        const DWORD woke =
            ::MsgWaitForMultipleObjectsEx(1, &waitFor, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_FAILED) {
            ::WaitForSingleObject(waitFor, INFINITE);
            break;
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            // The work holds this frame: it is waited for, whoever asked to quit.
            if (message.message == WM_QUIT) {
                quit = static_cast<int>(message.wParam);
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    away.join();
    if (quit) ::PostQuitMessage(*quit);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace plenvo::app
