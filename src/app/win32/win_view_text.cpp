#include "app/win32/win_view_text.h"

#include "platform/win/win32_win.h"

namespace plenvo::app {

std::string windowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return platform::win::utf8(text);
}

void setWindowText(HWND window, const std::string& text) {
    if (windowText(window) == text) return;
    ::SetWindowTextW(window, platform::win::wide(text).c_str());
}

}  // namespace plenvo::app
