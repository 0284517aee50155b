#include <cstdio>

#include "pages/page_text.h"
#include "store/date_time.h"
#include "store/history.h"
#include "store/mng_database.h"
#include "web/agent_counts.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/pass_record.h"
#include "web/request_path.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

std::string figure(const char* label, std::int64_t value, const char* link = nullptr) {
    std::string cell = "<tr><th>" + std::string(label) + "</th><td>";
    cell += link ? "<a href=\"" + std::string(link) + "\">" + std::to_string(value) + "</a>"
                 : std::to_string(value);
    return cell + "</td></tr>";
}

// The agents whose codes changed in the last 24 hours.
std::string changedToday(store::Connection& db) {
    const platform::LocalTime now = platform::SystemClock().now();
    const platform::LocalTime since = store::minusDays(now, 1);
    std::string rows;
    for (const store::CodesChange& c : store::codesChangedSince(db, since)) {
        const std::string link = "/agents/" + percentEncoded(c.host) + "/" + percentEncoded(c.user);
        rows += "<tr><td><a href=\"" + pages::htmlEscaped(link) + "\">" +
                pages::htmlEscaped(c.host + " / " + c.user) + "</a></td><td>" +
                pages::htmlEscaped(store::generalTextOfStored(c.at)) + "</td><td>" +
                (c.before.empty() ? "なし" : pages::htmlEscaped(c.before)) + " → " +
                (c.codes.empty() ? "なし" : pages::htmlEscaped(c.codes)) + "</td></tr>";
    }
    return "<h2>この 24 時間に状態が変わったエージェント</h2>" +
           (rows.empty() ? std::string("<p class=\"note\">ありません。</p>")
                         : "<table><tr><th>エージェント</th><th>時刻</th><th>エラー</th></tr>" +
                               rows + "</table>");
}

}  // namespace

// What needs the administrator, on one page: the agents by state, waiting
// requests, and shares that fill up.
HttpResponse WebConsole::overview(const Caller& caller) {
    store::Connection db = store::openMng(base_);
    const AgentCounts counts = countAgents(db);
    std::string body = "<table>";
    body += figure("エージェント", counts.total, "/agents");
    body += figure("問題なし", counts.ok);
    body += figure("エラーあり", counts.withCodes, "/agents?codes=1");
    body += figure("報告なし (15)", counts.stale, "/agents?code=15");
    body += figure("接続できない (08)", counts.unreachable, "/agents?code=08");
    body += figure("メディアの申請", counts.requestsPending, "/media");
    body += "</table><h2>使用率 85% 以上の共有</h2>";
    auto shares = db.prepare(
        "SELECT ComNM, SharePath, UsageVate FROM ShareDriveInfo WHERE UsageVate >= 85 "
        "ORDER BY UsageVate DESC");
    std::string rows;
    while (shares.step())
        rows += "<tr><td>" + pages::htmlEscaped(shares.text(0).value_or("")) + "</td><td>" +
                pages::htmlEscaped(shares.text(1).value_or("")) + "</td><td>" +
                std::to_string(shares.integer(2).value_or(0)) + "%</td></tr>";
    body += rows.empty() ? "<p class=\"note\">ありません。</p>"
                         : "<table><tr><th>サーバー</th><th>共有</th><th>使用率</th></tr>" + rows +
                               "</table>";
    body += "<p><a href=\"/shares\">共有ドライブの推移と満杯の見込み</a></p>";
    body += changedToday(db);
    body += "<h2>パス</h2><table><tr><th></th><th>最後に終わった時刻</th><th>所要時間</th></tr>";
    for (const PassRecord& pass : passesNow()) {
        char seconds[32] = "-";
        if (pass.lastDurationSeconds)
            std::snprintf(seconds, sizeof seconds, "%.1f 秒", *pass.lastDurationSeconds);
        body += "<tr><th>" + std::string(pass.kind == "import" ? "取り込み" : "チェック") +
                "</th><td>" + pages::htmlEscaped(pass.lastSuccess.value_or("-")) + "</td><td>" +
                seconds + "</td></tr>";
    }
    body += "</table>";
    body +=
        "<p><a href=\"/DiskChk.htm\">共有ドライブの一覧</a> ・ <a "
        "href=\"/settings\">環境設定</a></p>";
    return html(200, consolePage("バックアップ状況", body, caller.name()));
}

std::vector<PassRecord> WebConsole::passesNow() const {
    std::optional<std::vector<PassRecord>> live;
    if (console_)
        console_->with([&](const auto&, ConsoleSettings* settings) {
            if (settings) live = settings->lastPasses();
        });
    return live ? std::move(*live) : lastPasses(base_);
}

}  // namespace plenvo::web
