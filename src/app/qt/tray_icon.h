#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <array>
#include <optional>

#include "app/icon_animation.h"
#include "app/tray_menu.h"

namespace plenvo::app {

// The icon in the notification area with its tip and animation, and the popup
// menu it opens on a left or right click. What the menu does is TrayMenu's.
class TrayIcon {
  public:
    TrayIcon(IconAnimation& animation, TrayMenu& rules);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    void show() { icon_.show(); }
    void hide() { icon_.hide(); }

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }

  private:
    std::optional<int> popUp();

    IconAnimation& animation_;
    TrayMenu& rules_;
    std::array<QIcon, IconAnimation::kFrameCount> frames_;
    QSystemTrayIcon icon_;
    QMenu menu_;
};

}  // namespace plenvo::app
