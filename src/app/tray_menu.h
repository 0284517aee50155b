#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/beside_console.h"
#include "app/console.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/slow_work.h"

namespace plenvo::app {

// The entries of the tray menu, numbered by their index in the menu.
enum class TrayChoice {
    statusPage = 10,
    settings = 20,
    removableMedia = 30,
    quit = 90,
    help = 95,
    cancel = 99,
};

// One entry of the tray menu: what it does, its caption and the name of its bitmap.
struct TrayMenuEntry {
    TrayChoice choice;
    const char* caption;
    const char* bitmap;

    int index() const { return static_cast<int>(choice); }
};

inline constexpr std::array<TrayMenuEntry, 6> kTrayMenuEntries{{
    {TrayChoice::statusPage, "バックアップ状況確認", "LOG"},
    {TrayChoice::settings, "環境設定", "Setup"},
    {TrayChoice::removableMedia, "リムーバブルメディア許可設定", "USB"},
    {TrayChoice::quit, "終了", "ED"},
    {TrayChoice::help, "ヘルプ", "hatena"},
    {TrayChoice::cancel, "キャンセル", "CL"},
}};

// What the menu's entries reach outside the console's own logic.
struct TrayMenuHooks {
    std::function<void(bool)> setTimer1Enabled;
    std::function<void(const std::filesystem::path&)> openDocument;
    // Where the web view serves the pages with working links; the status page
    // opens there instead of from its file.
    ServedAddress webAddress;
    std::function<void(const std::string&)> openWebAddress;
    std::function<void()> openCheckWindow;
    std::function<void()> quit;        // removes the icon and ends the console
    ui::SlowWork* slowWork = nullptr;  // network writes of the windows; null: at once
};

// The rules of the tray menu without its looks: the import timer is held off
// while the menu is open, and the chosen entry is carried out by its index.
class TrayMenu {
  public:
    TrayMenu(Console& management, ui::Dialogs& dialogs, ui::WindowHost& windows,
             TrayMenuHooks hooks);

    // A left or right click on the icon: `show` pops the menu up and returns the
    // chosen index, or nullopt when it was closed without a choice. A click while
    // the menu or a window it opened is still up does nothing; returns false then.
    bool open(const std::function<std::optional<int>()>& show);

    // The menu's event with the chosen entry's index; an index outside the menu does nothing.
    void mnuFileSub_Click(int index);

  private:
    void setTimer1(bool on);
    void showStatusPage();
    void showSettings();
    void showHelp();

    Console& management_;
    ui::Dialogs& dialogs_;
    ui::WindowHost& windows_;
    TrayMenuHooks hooks_;
    bool busy_ = false;
};

}  // namespace plenvo::app
