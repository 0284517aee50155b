#include "app/win32/win_tray_icon.h"

#include <algorithm>

#include "app/win32/win_wide_text.h"

namespace plenvo::app {
namespace {

constexpr UINT kFrameChanged = WM_APP + 21;
constexpr UINT kOpenMenu = WM_APP + 22;

OwnedMenu makeMenu(const TrayImages& images) {
    OwnedMenu menu(::CreatePopupMenu());
    if (!menu) return menu;
    for (const TrayMenuEntry& entry : kTrayMenuEntries) {
        const std::wstring caption = wideText(entry.caption);
        if (!::AppendMenuW(menu.get(), MF_STRING, static_cast<UINT_PTR>(entry.index()),
                           caption.c_str()))
            continue;
        // The picture in front of the caption; an entry without one still works.
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        item.hbmpItem = images.menuBitmap(entry.bitmap);
        if (item.hbmpItem)
            ::SetMenuItemInfoW(menu.get(), static_cast<UINT>(entry.index()), FALSE, &item);
    }
    return menu;
}

}  // namespace

TrayIcon::TrayIcon(IconAnimation& animation, TrayMenu& rules, const TrayImages& images)
    : animation_(animation),
      rules_(rules),
      images_(images),
      taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")),
      menu_(makeMenu(images)),
      window_(L"PlenvoBackupMngTray", [this](UINT message, WPARAM wParam, LPARAM lParam) {
          return handle(message, wParam, lParam);
      }) {
    // An elevated console is not sent the broadcasts of a plain Explorer unless it asks.
    if (taskbarCreated_)
        ::ChangeWindowMessageFilterEx(window_.handle(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    // The passes step the animation on their own thread: the frame is handed
    // to the window thread, which is free to show it at once.
    animation_.setListener([window = window_.handle()](int frame, const std::string&) {
        ::PostMessageW(window, kFrameChanged, static_cast<WPARAM>(frame), 0);
    });
}

TrayIcon::~TrayIcon() {
    animation_.setListener({});
    remove();
}

NOTIFYICONDATAW TrayIcon::record() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_.handle();
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kIconMessage;
    data.hIcon = images_.frame(frame_);
    const std::wstring tip = wideText(animation_.tip());
    const size_t length = std::min(tip.size(), std::size(data.szTip) - 1);
    std::copy_n(tip.begin(), length, data.szTip);
    return data;
}

bool TrayIcon::notify(DWORD what) {
    NOTIFYICONDATAW data = record();
    return ::Shell_NotifyIconW(what, &data);
}

bool TrayIcon::add() {
    added_ = notify(NIM_ADD);
    if (added_ && balloon_) showHeldBalloon();
    return added_;
}

void TrayIcon::showBalloon(const std::string& title, const std::string& text) {
    balloon_.emplace(wideText(title), wideText(text));
    if (added_) showHeldBalloon();
}

void TrayIcon::showHeldBalloon() {
    NOTIFYICONDATAW data = record();
    data.uFlags |= NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    // The shell takes what fits; the rest of a long text is cut.
    const auto copy = [](const std::wstring& text, auto& into) {
        const size_t length = std::min(text.size(), std::size(into) - 1);
        std::copy_n(text.begin(), length, into);
        into[length] = L'\0';
    };
    copy(balloon_->first, data.szInfoTitle);
    copy(balloon_->second, data.szInfo);
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
    balloon_.reset();
}

void TrayIcon::remove() {
    if (!added_) return;
    NOTIFYICONDATAW data = record();
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    added_ = false;
}

std::optional<LRESULT> TrayIcon::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kIconMessage) {
        const auto mouse = static_cast<UINT>(lParam);
        // Out of the shell's own call first: the menu runs a loop of its own.
        if (mouse == WM_LBUTTONUP || mouse == WM_RBUTTONUP)
            ::PostMessageW(window_.handle(), kOpenMenu, 0, 0);
        return 0;
    }
    if (message == kOpenMenu) {
        rules_.open([this] { return popUp(); });
        return 0;
    }
    if (message == kFrameChanged) {
        frame_ = static_cast<int>(wParam);
        if (added_) notify(NIM_MODIFY);
        return 0;
    }
    // Explorer started again: its new notification area knows nothing of the icon.
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (added_) added_ = notify(NIM_ADD);
        return 0;
    }
    return std::nullopt;
}

std::optional<int> TrayIcon::popUp() {
    if (!menu_) return std::nullopt;
    POINT at{};
    ::GetCursorPos(&at);
    // Without the foreground the menu would not close when clicked away from.
    ::SetForegroundWindow(window_.handle());
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu_.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN,
                         at.x, at.y - 10, 0, window_.handle(), nullptr));
    ::PostMessageW(window_.handle(), WM_NULL, 0, 0);
    if (chosen == 0) return std::nullopt;
    return static_cast<int>(chosen);
}

}  // namespace plenvo::app
