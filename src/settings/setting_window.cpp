#include "settings/setting_window.h"

#include "platform/core/failure_log.h"
#include "platform/paths/windows_path.h"
#include "settings/mail_setting_window.h"
#include "settings/pointer_file.h"
#include "settings/setting_actions.h"
#include "store/mng_database.h"

namespace plenvo::settings {
namespace {

constexpr const char* kPickerTitle = "フォルダを指定してください";
constexpr const char* kNoFolderChosen = "バックアップ先フォルダを指定してください";
constexpr const char* kErrorsCleared = "エラー情報が削除されました";
constexpr const char* kErrorsNotCleared = "エラー情報を削除できませんでした";

}  // namespace

Setting::Setting(const platform::RunContext& ctx, store::MonitoringFlag& flag, ui::Dialogs& dialogs,
                 std::string serverShareFolder, ui::SlowWork* slow, ui::WindowHost* windows)
    : ctx_(ctx),
      flag_(flag),
      dialogs_(dialogs),
      serverShareFolder_(std::move(serverShareFolder)),
      slow_(slow ? *slow : atOnce_),
      windows_(windows) {
    layOut();
}

void Setting::click(const std::string& controlName) {
    if (controlName == "Command2")
        Command2_Click();
    else if (controlName == "追加")
        追加_Click();
    else if (controlName == "ErClear")
        ErClear_Click();
    else if (controlName == "MailSetting")
        MailSetting_Click();
}

void Setting::MailSetting_Click() {
    if (!windows_) return;
    platform::guarded(ctx_.failures, "mail settings window", [&] {
        MailSetting window(ctx_, dialogs_, &slow_);
        windows_->showModal(window);
    });
}

void Setting::Form_Load() {
    auto& list = control("ToBkupList").lines;
    list.clear();
    platform::guarded(ctx_.failures, "settings window", [&] {
        store::Connection db = store::openMng(ctx_.base);
        // Listed even where it cannot be reached; only its pointer file is missed then.
        list = store::listedDestinations(db);
    });
    const std::vector<std::string> destinations = list;
    platform::guarded(ctx_.failures, "settings window", [&] {
        slow_.run([&] {
            platform::ShareLookup lookup(signIn());
            platform::FolderReach reach(lookup);
            for (const std::string& destination : destinations)
                if (!writePointerFile(destination, serverShareFolder_, reach))
                    ctx_.failures.report("settings window",
                                         "SRV.ini not written in " + destination);
        });
    });
    control("RemChkFlgF").checked = flag_.isOn();
}

platform::NetworkSignIn Setting::signIn() const {
    return platform::loadNetworkSignIn(ctx_.base.at("\\SmbAuth.conf"), ctx_.failures);
}

void Setting::Command2_Click() {
    platform::guarded(ctx_.failures, "settings window: folder picker", [&] {
        const std::string current = control("ToBkupF").text;
        // The picker starts at the server or the drive of the current text.
        const std::string start = platform::rootOf(current);
        for (;;) {
            const auto chosen = dialogs_.browseForFolder(kPickerTitle, start);
            if (!chosen) return;
            const std::string result = *chosen == start ? current : *chosen;
            if (!result.empty()) {
                control("ToBkupF").text = result;
                return;
            }
            dialogs_.messageBox(kNoFolderChosen, "", ui::MessageButtons::ok);
        }
    });
}

void Setting::追加_Click() {
    const std::string destination = control("ToBkupF").text;
    // The window says nothing when it is not added; the list shows what is.
    if (addDestination(ctx_, serverShareFolder_, destination, &slow_).kind ==
        SettingResult::Kind::done)
        control("ToBkupList").lines.push_back(destination);
}

void Setting::ErClear_Click() {
    const bool cleared = clearErrors(ctx_).kind == SettingResult::Kind::done;
    dialogs_.messageBox(cleared ? kErrorsCleared : kErrorsNotCleared, "", ui::MessageButtons::ok);
}

void Setting::Form_Unload() {
    setMonitoring(ctx_, flag_, control("RemChkFlgF").checked);
}

}  // namespace plenvo::settings
