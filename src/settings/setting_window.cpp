#include "settings/setting_window.h"

#include "platform/core/failure_log.h"
#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "removable/allow_list.h"
#include "settings/mail_setting_window.h"
#include "settings/pointer_file.h"
#include "store/mng_database.h"

namespace plenvo::settings {
namespace {

constexpr const char* kPickerTitle = "フォルダを指定してください";
constexpr const char* kNoFolderChosen = "バックアップ先フォルダを指定してください";
constexpr const char* kErrorsCleared = "エラー情報が削除されました";
constexpr const char* kErrorsNotCleared = "エラー情報を削除できませんでした";
constexpr const char* kAllowList = "\\OrvShare\\REM\\RM";

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
        store::Statement rows = db.prepare("SELECT ToBkup FROM ToBkupList ORDER BY rowid");
        // Listed even where it cannot be reached; only its pointer file is missed then.
        while (rows.step()) list.push_back(rows.text(0).value_or(""));
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
    // An empty box would point SRV.ini at the root and list a nameless destination.
    if (destination.empty()) return;
    platform::guarded(ctx_.failures, "settings window: add destination", [&] {
        store::Connection db = store::openMng(ctx_.base);
        // Paths name folders of a case-blind file system.
        store::Statement known =
            db.prepare("SELECT ToBkup FROM ToBkupList WHERE ToBkup = ?1 COLLATE NOCASE");
        known.bind(1, destination);
        if (known.step()) return;
        // A destination enters the list only when the console can write into it.
        bool written = false;
        slow_.run([&] {
            platform::ShareLookup lookup(signIn());
            platform::FolderReach reach(lookup);
            written = writePointerFile(destination, serverShareFolder_, reach);
        });
        if (!written) return;
        const auto turn = store::writeTurn(ctx_);
        db.prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)").bind(1, destination).run();
        control("ToBkupList").lines.push_back(destination);
    });
}

void Setting::ErClear_Click() {
    bool cleared = false;
    platform::guarded(ctx_.failures, "settings window: clear errors", [&] {
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        db.exec("UPDATE UserLog SET ErNo = ''");
        cleared = true;
    });
    dialogs_.messageBox(cleared ? kErrorsCleared : kErrorsNotCleared, "", ui::MessageButtons::ok);
}

void Setting::Form_Unload() {
    platform::guarded(ctx_.failures, "settings window", [&] { saveMonitoringSwitch(); });
    platform::guarded(ctx_.failures, "monitoring switch",
                      [&] { store::readMonitoringFlag(ctx_.base, flag_); });
    makeOrRemoveAllowList();
}

void Setting::saveMonitoringSwitch() {
    const std::int64_t value = control("RemChkFlgF").checked ? 1 : 0;
    store::Connection db = store::openMng(ctx_.base);
    const auto turn = store::writeTurn(ctx_);
    store::Statement first = db.prepare("SELECT rowid FROM Setting ORDER BY rowid LIMIT 1");
    if (first.step()) {
        db.prepare("UPDATE Setting SET RemChkFlg = ?1 WHERE rowid = ?2")
            .bind(1, value)
            .bind(2, first.integer(0).value_or(0))
            .run();
    } else {
        db.prepare("INSERT INTO Setting (RemChkFlg) VALUES (?1)").bind(1, value).run();
    }
}

void Setting::makeOrRemoveAllowList() {
    const auto file = ctx_.base.at(kAllowList);
    if (!flag_.isOn()) {
        if (platform::fileExists(file) && !platform::deleteFile(file))
            ctx_.failures.report("settings window", "allow-list not deleted");
        return;
    }
    // A list already there is left as it is; the check window rewrites it.
    if (platform::fileExists(file)) return;
    platform::guarded(ctx_.failures, "settings window", [&] {
        platform::TextWriter empty(file, platform::TextWriter::Mode::create);
        empty.commit();
    });
    platform::guarded(ctx_.failures, "settings window",
                      [&] { platform::setAttributes(file, platform::kHiddenSystemAttributes); });
    platform::guarded(ctx_.failures, "allow-list file",
                      [&] { removable::writeAllowList(ctx_, flag_); });
}

}  // namespace plenvo::settings
