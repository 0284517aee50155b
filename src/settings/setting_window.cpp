#include "settings/setting_window.h"

#include <memory>
#include <thread>

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
                 std::string serverShareFolder, ui::SlowWork* slow, ui::WindowHost* windows,
                 platform::ShareLookup::Source shares)
    : ctx_(ctx),
      flag_(flag),
      dialogs_(dialogs),
      serverShareFolder_(std::move(serverShareFolder)),
      slow_(slow ? *slow : atOnce_),
      windows_(windows),
      shares_(std::move(shares)) {
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
    destinations_.clear();
    unwritten_.clear();
    platform::guarded(ctx_.failures, "settings window", [&] {
        store::Connection db = store::openMng(ctx_.base);
        // Listed even where it cannot be reached; only its pointer file is missed then.
        destinations_ = store::listedDestinations(db);
    });
    showDestinations();
    control("RemChkFlgF").checked = flag_.isOn();
    platform::guarded(ctx_.failures, "settings window", [&] { rewritePointerFiles(); });
}

void Setting::rewritePointerFiles() {
    // Copies only: the work may outlive the window.
    auto rewrite = [destinations = destinations_, folder = serverShareFolder_, shares = shares_,
                    signIn = signIn()] {
        const auto lookup = destinationLookup(shares, signIn);
        return writePointerFiles(destinations, folder, *lookup);
    };
    const std::shared_ptr<ui::WindowInbox> inbox = this->inbox();
    if (!inbox) {
        markUnwritten(rewrite());
        return;
    }
    // A silent server must not keep the window from showing: the files are
    // written on a thread of their own, and the list marked once they all end.
    std::thread([rewrite = std::move(rewrite), inbox, this] {
        std::vector<std::string> unwritten;
        try {
            unwritten = rewrite();
        } catch (...) {
            // Nothing is marked that was not found unwritten.
        }
        inbox->post([this, unwritten = std::move(unwritten)] { markUnwritten(unwritten); });
    }).detach();
}

void Setting::markUnwritten(const std::vector<std::string>& unwritten) {
    for (const std::string& destination : unwritten) {
        ctx_.failures.report("settings window", "SRV.ini not written in " + destination);
        unwritten_.insert(destination);
    }
    showDestinations();
}

void Setting::showDestinations() {
    auto& lines = control("ToBkupList").lines;
    lines.clear();
    for (const std::string& destination : destinations_)
        lines.push_back(unwritten_.count(destination) ? destination + kUnwrittenMark : destination);
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
    const SettingResult result =
        addDestination(ctx_, serverShareFolder_, destination, &slow_, shares_);
    switch (result.kind) {
        case SettingResult::Kind::done:
            destinations_.push_back(destination);
            showDestinations();
            break;
        case SettingResult::Kind::unchanged:
            // Listed already: the list shows it.
            break;
        default:
            dialogs_.messageBox(result.why, "", ui::MessageButtons::ok);
            break;
    }
}

void Setting::ErClear_Click() {
    const bool cleared = clearErrors(ctx_).kind == SettingResult::Kind::done;
    dialogs_.messageBox(cleared ? kErrorsCleared : kErrorsNotCleared, "", ui::MessageButtons::ok);
}

void Setting::Form_Unload() {
    setMonitoring(ctx_, flag_, control("RemChkFlgF").checked);
}

}  // namespace plenvo::settings
