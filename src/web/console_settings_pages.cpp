#include "pages/page_text.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/form_fields.h"
#include "web/request_path.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

constexpr std::size_t kPathLength = 1024;

}  // namespace

WebConsole::CurrentSettings WebConsole::currentSettings() const {
    CurrentSettings current;
    const bool asked = console_ && console_->with([&](const auto&, ConsoleSettings* settings) {
        if (!settings) return;
        current.destinations = settings->destinations();
        current.monitoring = settings->monitoring();
        current.fromConsole = true;
    });
    if (asked && current.fromConsole) return current;
    // Before the console runs: as the database holds them.
    store::Connection db = store::openMng(base_);
    current.destinations = store::listedDestinations(db);
    store::MonitoringFlag flag;
    store::readMonitoringFlag(base_, flag);
    current.monitoring = flag.isOn();
    return current;
}

HttpResponse WebConsole::settingsPage(const Caller& caller) {
    const CurrentSettings current = currentSettings();
    const auto& listed = current.destinations;
    const bool monitoring = current.monitoring;
    const bool acts = caller.isAdmin() && caller.session;

    std::string body = "<h2>バックアップ先</h2><table><tr><th>フォルダ</th><th></th></tr>";
    for (const auto& destination : listed) {
        body += "<tr><td>" + pages::htmlEscaped(destination) + "</td><td>";
        if (acts)
            body += "<a href=\"/settings/destinations/remove?path=" +
                    pages::htmlEscaped(percentEncoded(destination)) + "\">削除</a>";
        body += "</td></tr>";
    }
    body += "</table>";
    if (listed.empty()) body += "<p class=\"note\">バックアップ先はまだありません。</p>";
    if (acts)
        body += postForm(
            "/settings/destinations/add", caller.csrf(),
            textField("追加するフォルダ (\\\\サーバー\\共有\\フォルダ)", "path", "", kPathLength),
            "追加");

    body += "<h2>リムーバブルメディアの監視</h2><p>いまは" +
            std::string(monitoring ? "監視しています" : "監視していません") + "。</p>";
    if (acts)
        body += postForm("/settings/monitoring", caller.csrf(),
                         hiddenField("enabled", monitoring ? "0" : "1"),
                         monitoring ? "監視をやめる" : "監視する");

    body += "<h2>メール</h2><p><a href=\"/settings/mail\">メール設定</a></p>";
    body += "<h2>エラー情報</h2>";
    if (acts)
        body += "<p><a href=\"/settings/errors/clear\">エラー情報削除</a></p>";
    else
        body += "<p class=\"note\">設定の変更は管理者としてサインインすると行えます。</p>";
    return html(200, consolePage("環境設定", body, caller.name()));
}

// The confirmation steps: removing a destination, clearing every error.
HttpResponse WebConsole::settingsForm(const HttpRequest& request, const Caller& caller,
                                      const std::vector<std::string>& s) {
    if (!caller.isAdmin() || !caller.session)
        return html(403, consolePage("操作できません",
                                     "<p>管理者としてサインインしてください。</p>", caller.name()));
    if (s.size() == 3 && s[1] == "destinations" && s[2] == "remove") {
        const std::string path = field(queryFields(request.target), "path").value_or("");
        const std::string body = "<p>バックアップ先 " + pages::htmlEscaped(path) +
                                 " を一覧から削除します。そのフォルダの SRV.ini は残ります。</p>" +
                                 postForm("/settings/destinations/remove", caller.csrf(),
                                          hiddenField("path", path), "削除") +
                                 "<p><a href=\"/settings\">やめる</a></p>";
        return html(200, consolePage("バックアップ先の削除", body, caller.name()));
    }
    if (s.size() == 3 && s[1] == "errors" && s[2] == "clear") {
        const std::string body =
            "<p>すべてのエージェントのエラー情報を削除します。</p>" +
            postForm("/settings/errors/clear", caller.csrf(), "", "エラー情報削除") +
            "<p><a href=\"/settings\">やめる</a></p>";
        return html(200, consolePage("エラー情報削除", body, caller.name()));
    }
    return HttpResponse::text(404, "not found");
}

HttpResponse WebConsole::settingsAction(const HttpRequest& request, const Caller& caller,
                                        const std::vector<std::string>& s) {
    if (!caller.isAdmin() || !caller.session)
        return HttpResponse::text(403, "actions need an admin signed in with this browser");
    const auto fields = trustedForm(request, caller);
    if (!fields) return HttpResponse::text(403, "the form is not this session's");
    const std::string path = field(*fields, "path").value_or("");
    Done done{404, "not found"};
    if (s.size() == 3 && s[1] == "destinations" && s[2] == "add")
        done = settingAct(caller, "add destination", path,
                          [&](ConsoleSettings& c) { return c.addDestination(path); });
    else if (s.size() == 3 && s[1] == "destinations" && s[2] == "remove")
        done = settingAct(caller, "remove destination", path,
                          [&](ConsoleSettings& c) { return c.removeDestination(path); });
    else if (s.size() == 2 && s[1] == "monitoring") {
        const bool on = field(*fields, "enabled") == "1";
        done = settingAct(caller, "monitoring", on ? "on" : "off",
                          [&](ConsoleSettings& c) { return c.setMonitoring(on); });
    } else if (s.size() == 3 && s[1] == "errors" && s[2] == "clear")
        done = settingAct(caller, "clear errors", "UserLog",
                          [](ConsoleSettings& c) { return c.clearErrors(); });
    return html(done.status, consolePage("環境設定",
                                         "<p>" + pages::htmlEscaped(done.told) +
                                             "</p><p><a href=\"/settings\">環境設定へ</a></p>",
                                         caller.name()));
}

}  // namespace plenvo::web
