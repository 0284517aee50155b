#include "app/win32/win_hidden_window.h"

namespace plenvo::app {

HiddenWindow::HiddenWindow(const wchar_t* className, Handler handler)
    : handler_(std::move(handler)) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &HiddenWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    // Registered once per process; later windows of the class find it there.
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    // A tool window stays out of the taskbar and Alt+Tab even if something shows it.
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, instance, this);
}

HiddenWindow::~HiddenWindow() {
    if (!window_) return;
    // Messages still on their way must not reach a handler that is gone.
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

LRESULT CALLBACK HiddenWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HiddenWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->handler_) {
        // Nothing may unwind through the system's own frames.
        try {
            if (const auto answer = self->handler_(message, wParam, lParam)) return *answer;
        } catch (...) {
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace plenvo::app
