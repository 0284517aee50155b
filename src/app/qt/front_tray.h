#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <string>

namespace plenvo::app {

// The tray icon of a desktop whose console runs as a service elsewhere on the
// machine: its menu opens the served pages in the browser. No passes run here.
class FrontTray {
  public:
    // `open` takes the address of a chosen page; `quit` ends the tray.
    FrontTray(std::string served, std::function<void(const std::string&)> open,
              std::function<void()> quit);

    // False while no notification area takes the icon.
    bool show();
    QMenu& menu() { return menu_; }

  private:
    std::string served_;
    QSystemTrayIcon icon_;
    QMenu menu_;
};

// Runs the tray until "終了" or a stop request; waits for a notification area
// like the console does. The exit code.
int runFrontTray(const std::string& served, int argc, char** argv);

}  // namespace plenvo::app
