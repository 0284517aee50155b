#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "app/icon_animation.h"
#include "app/tray_menu.h"
#include "app/win32/win_hidden_window.h"
#include "app/win32/win_tray_images.h"

namespace plenvo::app {

struct MenuRelease {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuRelease>;

// The icon in the notification area with its tip and animation, and the popup
// menu a left or right click opens. What the menu does is TrayMenu's. Lives on
// the window thread; the animation may be stepped on any thread.
class TrayIcon {
  public:
    // What the shell sends the icon's window when the icon is clicked.
    static constexpr UINT kIconMessage = WM_APP + 20;

    TrayIcon(IconAnimation& animation, TrayMenu& rules, const TrayImages& images);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon with the frame shown last; false when no shell takes it.
    bool add();
    // Takes the icon out of the notification area; it stays out until add().
    void remove();
    // A warning balloon at the icon, held until the icon is added.
    void showBalloon(const std::string& title, const std::string& text);
    bool holdsBalloon() const { return balloon_.has_value(); }

    HWND window() const { return window_.handle(); }
    HMENU menu() const { return menu_.get(); }
    int shownFrame() const { return frame_; }
    // What the shell is told of the icon: its window, image and tip.
    NOTIFYICONDATAW record() const;

  private:
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool notify(DWORD what);
    void showHeldBalloon();
    std::optional<int> popUp();

    IconAnimation& animation_;
    TrayMenu& rules_;
    const TrayImages& images_;
    const UINT taskbarCreated_;
    OwnedMenu menu_;
    int frame_ = IconAnimation::kRestingFrame;
    bool added_ = false;
    std::optional<std::pair<std::wstring, std::wstring>> balloon_;  // title and text
    HiddenWindow window_;  // last: its messages may come as soon as it exists
};

}  // namespace plenvo::app
