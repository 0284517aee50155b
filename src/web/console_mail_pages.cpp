#include "alerts/mail_alerts.h"
#include "pages/page_text.h"
#include "platform/process/environment.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/mail_form.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

// A test mail waits at most this long on the mail server.
constexpr std::chrono::seconds kTestLimit{10};

std::string selectField(const std::string& current) {
    std::string field = "<p><label>暗号化<br><select name=\"security\">";
    for (const char* name : {"none", "starttls", "tls"})
        field += std::string("<option") + (current == name ? " selected" : "") + ">" + name +
                 "</option>";
    return field + "</select></label></p>";
}

}  // namespace

alerts::MailSettings WebConsole::mailInUse() const {
    const auto read = alerts::loadMailSettings(base_.at(alerts::kMailSettingsFile));
    return read.settings.value_or(alerts::MailSettings{});
}

WebConsole::Done WebConsole::mailAct(const Caller& caller, const MailEntry& entry, bool testOnly) {
    return perform(caller, testOnly ? "test mail" : "mail settings", "Mail.ini",
                   [&](const platform::RunContext& ctx, ConsoleSettings*) {
                       auto made = mailSettingsFrom(mailInUse(), entry);
                       if (auto* why = std::get_if<std::string>(&made)) return Done{422, *why};
                       const auto& settings = std::get<alerts::MailSettings>(made);
                       if (testOnly) {
                           const auto sent =
                               alerts::sendTestMail(settings, platform::computerName(), kTestLimit);
                           return sent.sent ? Done{200, "テストメールを送りました"}
                                            : Done{422, "送れませんでした: " + sent.error};
                       }
                       alerts::saveMailSettings(ctx.base.at(alerts::kMailSettingsFile), settings);
                       return Done{200, "done"};
                   });
}

HttpResponse WebConsole::mailPage(const Caller& caller) {
    const alerts::MailSettings now = mailInUse();
    const bool acts = caller.isAdmin() && caller.session;
    if (!acts) {
        std::string body = "<table>";
        for (const auto& [label, value] : {std::pair{"サーバー", now.server},
                                           {"ポート", std::to_string(now.port)},
                                           {"暗号化", alerts::securityName(now.security)},
                                           {"ユーザー", now.user},
                                           {"差出人", now.from},
                                           {"管理者", now.to}})
            body += "<tr><th>" + std::string(label) + "</th><td>" + pages::htmlEscaped(value) +
                    "</td></tr>";
        body += "</table><p class=\"note\">変更は管理者としてサインインすると行えます。</p>";
        return html(200, consolePage("メール設定", body, caller.name()));
    }
    const std::string fields =
        textField("サーバー", "server", now.server, 255) +
        textField("ポート", "port", std::to_string(now.port), 5) +
        selectField(alerts::securityName(now.security)) +
        textField("ユーザー", "user", now.user, 255) +
        "<p><label>パスワード (空欄なら今のまま)<br><input type=\"password\" name=\"password\" "
        "maxlength=\"255\"></label></p>" +
        textField("差出人", "from", now.from, 255) +
        textField("管理者のアドレス (カンマ区切り)", "to", now.to, 1024) +
        "<p><label><input type=\"checkbox\" name=\"notify_users\" value=\"1\"" +
        (now.notifyUsers ? " checked" : "") + "> 利用者にも知らせる</label></p>" +
        textField("一回に送る数の上限", "max_mails", std::to_string(now.limit), 6) +
        textField("メールに載せる Web コンソールのアドレス (https://...)", "web_url", now.webUrl,
                  255);
    std::string body = postForm("/settings/mail", caller.csrf(), fields, "保存");
    body += "<p class=\"note\">テスト送信は上の欄の内容で送ります (保存はしません)。</p>";
    body += "<form method=\"post\" action=\"/settings/mail/test\">" +
            hiddenField("csrf", caller.csrf());
    body +=
        "<p>保存済みの設定でテストメールを送る</p><button "
        "type=\"submit\">テスト送信</button></form>";
    return html(200, consolePage("メール設定", body, caller.name()));
}

HttpResponse WebConsole::mailAction(const HttpRequest& request, const Caller& caller,
                                    bool testOnly) {
    if (!caller.isAdmin() || !caller.session)
        return HttpResponse::text(403, "actions need an admin signed in with this browser");
    const auto fields = trustedForm(request, caller);
    if (!fields) return HttpResponse::text(403, "the form is not this session's");
    MailEntry entry;
    if (!testOnly) {
        entry.server = field(*fields, "server");
        entry.port = field(*fields, "port");
        entry.security = field(*fields, "security");
        entry.user = field(*fields, "user");
        entry.password = field(*fields, "password");
        entry.from = field(*fields, "from");
        entry.to = field(*fields, "to");
        // An unchecked box is not sent at all.
        entry.notifyUsers = field(*fields, "notify_users").value_or("0");
        entry.maxMails = field(*fields, "max_mails");
        entry.webUrl = field(*fields, "web_url");
    }
    const Done done = mailAct(caller, entry, testOnly);
    return html(done.status,
                consolePage("メール設定",
                            "<p>" + pages::htmlEscaped(done.told) +
                                "</p><p><a href=\"/settings/mail\">メール設定へ</a></p>",
                            caller.name()));
}

}  // namespace plenvo::web
