#include "app/tray_menu.h"

#include "platform/files/file_system.h"
#include "settings/setting_window.h"

namespace plenvo::app {

TrayMenu::TrayMenu(Console& management, ui::Dialogs& dialogs, ui::WindowHost& windows,
                   TrayMenuHooks hooks)
    : management_(management), dialogs_(dialogs), windows_(windows), hooks_(std::move(hooks)) {}

bool TrayMenu::open(const std::function<std::optional<int>()>& show) {
    if (busy_) return false;
    busy_ = true;
    setTimer1(false);
    std::optional<int> chosen;
    try {
        chosen = show();
    } catch (...) {
        // The import must come back on however the menu ended.
    }
    setTimer1(true);
    // The windows an entry opens are modal for the user only: Timer1 runs again meanwhile.
    if (chosen) mnuFileSub_Click(*chosen);
    busy_ = false;
    return true;
}

void TrayMenu::setTimer1(bool on) {
    if (hooks_.setTimer1Enabled) hooks_.setTimer1Enabled(on);
}

void TrayMenu::mnuFileSub_Click(int index) {
    const platform::RunContext& ctx = management_.context();
    try {
        switch (static_cast<TrayChoice>(index)) {
            case TrayChoice::statusPage:
                showStatusPage();
                break;
            case TrayChoice::settings:
                showSettings();
                break;
            case TrayChoice::removableMedia:
                if (hooks_.openCheckWindow) hooks_.openCheckWindow();
                break;
            case TrayChoice::quit:
                if (hooks_.quit) hooks_.quit();
                break;
            case TrayChoice::help:
                showHelp();
                break;
            case TrayChoice::cancel:
            default:
                break;
        }
    } catch (const std::exception& e) {
        ctx.failures.report("tray menu", e.what());
    } catch (...) {
        ctx.failures.report("tray menu", "unknown failure");
    }
}

void TrayMenu::showStatusPage() {
    if (hooks_.webAddress && hooks_.openWebAddress)
        if (const auto address = hooks_.webAddress()) return hooks_.openWebAddress(*address + "/");
    const auto page = management_.context().base.at("\\HTM\\Index.htm");
    if (platform::fileExists(page)) hooks_.openDocument(page);
}

void TrayMenu::showSettings() {
    settings::Setting window(management_.context(), management_.monitoringFlag(), dialogs_,
                             management_.values().serverShareFolder, hooks_.slowWork, &windows_);
    windows_.showModal(window);
}

void TrayMenu::showHelp() {
    const platform::BaseFolder& base = management_.context().base;
    // The compiled help where the installation has one, its HTML pages otherwise.
    for (const char* help :
         {"\\HELP\\Plenvo Backup Manager Help.chm", "\\HELP\\Plenvo Backup Manager Help.html"}) {
        const auto file = base.at(help);
        if (platform::fileExists(file)) {
            hooks_.openDocument(file);
            return;
        }
    }
    dialogs_.messageBox("HELPファイルありません", ui::kApplicationTitle, ui::MessageButtons::ok);
}

}  // namespace plenvo::app
