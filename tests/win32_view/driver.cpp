#include "driver.h"

#include <gtest/gtest.h>

#include "app/win32/win_form_view.h"
#include "app/win32/win_view_text.h"

namespace plenvo::test {
namespace {

constexpr UINT kStep = WM_APP + 1;
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kGuardTimer = 2;
constexpr UINT_PTR kRetryTimer = 3;
constexpr UINT kGuardMs = 15000;

BOOL CALLBACK closeBox(HWND window, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770") {
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageW(window, WM_COMMAND, IDNO, 0);
        ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

struct Search {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (app::windowText(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

Driver::Driver() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!::GetClassInfoExW(instance, L"PlenvoTestDriver", &wc)) {
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.lpszClassName = L"PlenvoTestDriver";
        ::RegisterClassExW(&wc);
    }
    window_ = ::CreateWindowExW(0, L"PlenvoTestDriver", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, this);
    ::SetTimer(window_, kGuardTimer, kGuardMs, nullptr);
}

Driver::~Driver() {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

Driver& Driver::then(std::function<void()> step) {
    steps_.push_back([step = std::move(step)] {
        step();
        return true;
    });
    return *this;
}

Driver& Driver::when(std::function<bool()> ready) {
    steps_.push_back(std::move(ready));
    return *this;
}

void Driver::start() {
    ::PostMessageW(window_, kStep, 0, 0);
}

void Driver::startTicking() {
    ::SetTimer(window_, kTickTimer, 10, nullptr);
}

void Driver::next() {
    if (steps_.empty()) return;
    const auto step = steps_.front();
    if (!step()) {
        // Posted at once, the retry would starve the timers: they come only
        // when nothing else waits.
        ::SetTimer(window_, kRetryTimer, 10, nullptr);
        return;
    }
    steps_.pop_front();
    if (!steps_.empty()) ::PostMessageW(window_, kStep, 0, 0);
}

void Driver::giveUp() {
    ::KillTimer(window_, kGuardTimer);
    ADD_FAILURE() << "the test's windows were still open after " << kGuardMs << " ms";
    steps_.clear();
    ::EnumThreadWindows(::GetCurrentThreadId(), closeBox, 0);
    if (const HWND view = app::Win32FormView::innermostRunning())
        ::PostMessageW(view, WM_CLOSE, 0, 0);
    ::SetTimer(window_, kGuardTimer, 500, nullptr);
}

LRESULT CALLBACK Driver::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* driver = reinterpret_cast<Driver*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (driver && message == kStep) {
        driver->next();
        return 0;
    }
    if (driver && message == WM_TIMER) {
        if (wParam == kTickTimer) ++driver->ticks_;
        if (wParam == kGuardTimer) driver->giveUp();
        if (wParam == kRetryTimer) {
            ::KillTimer(window, kRetryTimer);
            driver->next();
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND threadWindowTitled(const std::string& caption) {
    Search search{caption};
    ::EnumThreadWindows(::GetCurrentThreadId(), matchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void postKey(WPARAM key, HWND target) {
    ::PostMessageW(target ? target : ::GetFocus(), WM_KEYDOWN, key, 1);
}

void postNotification(HWND control, WORD code) {
    ::PostMessageW(::GetParent(control), WM_COMMAND,
                   MAKEWPARAM(static_cast<WORD>(::GetDlgCtrlID(control)), code),
                   reinterpret_cast<LPARAM>(control));
}

}  // namespace plenvo::test
