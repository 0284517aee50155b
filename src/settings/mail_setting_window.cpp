#include "settings/mail_setting_window.h"

#include <string_view>

#include "alerts/mail_alerts.h"
#include "platform/process/environment.h"
#include "settings/designed_in_pixels.h"
#include "ui/view_rules.h"

namespace plenvo::settings {
namespace {

using ui::ControlKind;

constexpr const char* kSaved = "メール通知設定を保存しました";
constexpr const char* kNotSaved = "メール通知設定を保存できませんでした";
constexpr const char* kTestSent = "テストメールを送信しました";
constexpr const char* kTestNotSent = "テストメールを送信できませんでした";
constexpr const char* kNotUsable = "設定に誤りがあります";

struct Field {
    const char* box;
    const char* label;
};
constexpr Field kFields[] = {
    {"ServerF", "送信サーバー"},
    {"PortF", "ポート"},
    {"SecurityF", "暗号化 (none / starttls / tls)"},
    {"UserF", "ユーザー"},
    {"PasswordF", "パスワード"},
    {"FromF", "差出人"},
    {"ToF", "宛先 (管理者、カンマ区切り)"},
};

}  // namespace

MailSetting::MailSetting(const platform::RunContext& ctx, ui::Dialogs& dialogs, ui::SlowWork* slow)
    : ctx_(ctx), dialogs_(dialogs), slow_(slow ? *slow : atOnce_) {
    layOut();
}

ui::Geometry MailSetting::clientArea() const {
    return pixels(0, 0, 440, 330);
}

void MailSetting::layOut() {
    int top = 12;
    int index = 1;
    for (const Field& field : kFields) {
        add(ui::designed("Label" + std::to_string(index++), ControlKind::label,
                         pixels(12, top + 3, 180, 18), field.label));
        add(ui::designed(field.box, ControlKind::textBox, pixels(196, top, 232, 24))).masked =
            field.box == std::string_view("PasswordF");
        top += 32;
    }
    add(ui::designed("NotifyUsersF", ControlKind::checkBox, pixels(12, top + 2, 22, 22)));
    add(ui::designed("Label" + std::to_string(index), ControlKind::label,
                     pixels(36, top + 3, 392, 18), "各ユーザーのメールアドレスにも送る"));
    top += 40;
    add(ui::designed("TestSend", ControlKind::button, pixels(12, top, 120, 28), "テスト送信"));
    add(ui::designed("Save", ControlKind::button, pixels(220, top, 100, 28), "保存"));
    add(ui::designed("Cancel", ControlKind::button, pixels(328, top, 100, 28), "キャンセル"));
}

void MailSetting::click(const std::string& controlName) {
    if (controlName == "TestSend")
        TestSend_Click();
    else if (controlName == "Save")
        Save_Click();
    else if (controlName == "Cancel")
        Cancel_Click();
}

void MailSetting::Form_Load() {
    const alerts::MailSettingsRead read =
        alerts::loadMailSettings(ctx_.base.at(alerts::kMailSettingsFile));
    if (!read.problem.empty()) ctx_.failures.report("mail settings window", read.problem);
    // A file that cannot be used still shows what it could of itself: the defaults.
    show(read.settings.value_or(alerts::MailSettings{}));
}

void MailSetting::show(const alerts::MailSettings& settings) {
    control("ServerF").text = settings.server;
    control("PortF").text = std::to_string(settings.port);
    control("SecurityF").text = alerts::securityName(settings.security);
    control("UserF").text = settings.user;
    control("PasswordF").text = settings.password;
    control("FromF").text = settings.from;
    control("ToF").text = settings.to;
    control("NotifyUsersF").checked = settings.notifyUsers;
    limit_ = settings.limit;
    webUrl_ = settings.webUrl;
    summaryAt_ = settings.summaryAt;
}

std::optional<alerts::MailSettings> MailSetting::entered() {
    std::vector<std::string> lines = {"[Mail]"};
    for (const Field& field : kFields) {
        const std::string key = std::string(field.box).substr(0, std::string(field.box).size() - 1);
        // Typed values are one line each; a pasted line break would start another key.
        std::string value = control(field.box).text;
        for (char& c : value)
            if (c == '\r' || c == '\n') c = ' ';
        lines.push_back(key + "=" + value);
    }
    alerts::MailSettingsRead read = alerts::parseMailSettings(lines);
    std::string problem = read.problem;
    if (read.settings) problem = alerts::problemOf(*read.settings);
    if (!problem.empty()) {
        dialogs_.messageBox(std::string(kNotUsable) + "\n" + problem, "", ui::MessageButtons::ok);
        return std::nullopt;
    }
    read.settings->notifyUsers = control("NotifyUsersF").checked;
    read.settings->limit = limit_;
    read.settings->webUrl = webUrl_;
    read.settings->summaryAt = summaryAt_;
    return read.settings;
}

void MailSetting::TestSend_Click() {
    platform::guarded(ctx_.failures, "mail settings window: test send", [&] {
        const auto settings = entered();
        if (!settings) return;
        platform::MailSendResult result;
        slow_.run([&] { result = alerts::sendTestMail(*settings, platform::computerName()); });
        dialogs_.messageBox(
            result.sent ? std::string(kTestSent) : std::string(kTestNotSent) + "\n" + result.error,
            "", ui::MessageButtons::ok);
    });
}

void MailSetting::Save_Click() {
    platform::guarded(ctx_.failures, "mail settings window: save", [&] {
        const auto settings = entered();
        if (!settings) return;
        std::string error;
        try {
            alerts::saveMailSettings(ctx_.base.at(alerts::kMailSettingsFile), *settings);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!error.empty()) {
            dialogs_.messageBox(std::string(kNotSaved) + "\n" + error, "", ui::MessageButtons::ok);
            return;
        }
        dialogs_.messageBox(kSaved, "", ui::MessageButtons::ok);
        requestUnload();
    });
}

}  // namespace plenvo::settings
