#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/management.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/slow_work.h"

namespace plenvo::app {

// One entry of the tray menu: its index, caption and the name of its bitmap.
struct TrayMenuEntry {
    int index;
    const char* caption;
    const char* bitmap;
};

inline constexpr std::array<TrayMenuEntry, 6> kTrayMenuEntries{{
    {10, "バックアップ状況確認", "LOG"},
    {20, "環境設定", "Setup"},
    {30, "リムーバブルメディア許可設定", "USB"},
    {90, "終了", "ED"},
    {95, "ヘルプ", "hatena"},
    {99, "キャンセル", "CL"},
}};

// What the menu's entries reach outside the console's own logic.
struct TrayMenuHooks {
    std::function<void(bool)> setTimer1Enabled;
    std::function<void(const std::filesystem::path&)> openDocument;
    std::function<void()> openCheckWindow;
    std::function<void()> quit;  // removes the icon and ends the console
    ui::SlowWork* slowWork = nullptr;  // network writes of the windows; null: at once
};

// The rules of the tray menu without its looks: the import timer is held off
// while the menu is open, and the chosen entry is carried out by its index.
class TrayMenu {
  public:
    TrayMenu(ManageMent& management, ui::Dialogs& dialogs, ui::WindowHost& windows,
             TrayMenuHooks hooks);

    // A left or right click on the icon: `show` pops the menu up and returns the
    // chosen index, or nullopt when it was closed without a choice. A click while
    // the menu or a window it opened is still up does nothing; returns false then.
    bool open(const std::function<std::optional<int>()>& show);

    // mnuFileSub_Click; an index outside the menu does nothing.
    void mnuFileSub_Click(int index);

  private:
    void setTimer1(bool on);
    void showStatusPage();
    void showSettings();
    void showHelp();

    ManageMent& management_;
    ui::Dialogs& dialogs_;
    ui::WindowHost& windows_;
    TrayMenuHooks hooks_;
    bool busy_ = false;
};

}  // namespace plenvo::app
