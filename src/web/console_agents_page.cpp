#include <charconv>
#include <map>

#include "pages/page_text.h"
#include "store/date_time.h"
#include "store/history.h"
#include "store/mng_database.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/form_fields.h"
#include "web/history_charts.h"
#include "web/request_path.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

constexpr std::int64_t kRowsPerPage = 200;

// The columns a visitor may sort by, and how: never text from the request.
const char* orderFor(const std::string& sort) {
    if (sort == "user") return "UserID COLLATE NOCASE, ComNM COLLATE NOCASE";
    if (sort == "report") return "UPDT DESC, ComNM COLLATE NOCASE";
    if (sort == "rate") return "CAST(RSRT AS REAL), ComNM COLLATE NOCASE";
    if (sort == "codes") return "ErNo DESC, ComNM COLLATE NOCASE";
    return "ComNM COLLATE NOCASE, UserID COLLATE NOCASE";
}

std::map<std::string, std::string> codeTitles(store::Connection& db) {
    std::map<std::string, std::string> titles;
    auto st = db.prepare("SELECT MNo, Title FROM MailTextMST");
    while (st.step()) titles.emplace(st.text(0).value_or(""), st.text(1).value_or(""));
    return titles;
}

// "07,15" as the codes with their titles, each escaped.
std::string codesShown(const std::string& codes, const std::map<std::string, std::string>& titles) {
    std::string shown;
    std::size_t start = 0;
    while (start <= codes.size()) {
        const auto end = std::min(codes.find(',', start), codes.size());
        const std::string code = codes.substr(start, end - start);
        if (!code.empty()) {
            const auto title = titles.find(code);
            shown += "<span title=\"" +
                     pages::htmlEscaped(title == titles.end() ? "" : title->second) + "\">" +
                     pages::htmlEscaped(code) +
                     (title == titles.end() ? "" : " " + pages::htmlEscaped(title->second)) +
                     "</span><br>";
        }
        start = end + 1;
    }
    return shown;
}

std::string agentLink(const std::string& host, const std::string& user) {
    return "/agents/" + percentEncoded(host) + "/" + percentEncoded(user);
}

}  // namespace

HttpResponse WebConsole::agentsPage(const HttpRequest& request, const Caller& caller) {
    const auto fields = queryFields(request.target);
    const std::string q = field(fields, "q").value_or("").substr(0, 100);
    const std::string code = field(fields, "code").value_or("").substr(0, 2);
    const bool anyCode = field(fields, "codes") == "1";
    const std::string sort = field(fields, "sort").value_or("host");
    std::int64_t page = 1;
    if (const auto p = field(fields, "page"))
        std::from_chars(p->data(), p->data() + p->size(), page);
    page = std::max<std::int64_t>(page, 1);

    store::Connection db = store::openMng(base_);
    const auto titles = codeTitles(db);
    const std::string where =
        " WHERE (?1 = '' OR ComNM LIKE ?2 OR UserID LIKE ?2 OR UserName LIKE ?2)"
        " AND (?3 = '' OR ',' || ErNo || ',' LIKE ?4)"
        " AND (?5 = 0 OR (ErNo IS NOT NULL AND ErNo <> ''))";
    const auto bindFilter = [&](store::Statement& st) {
        st.bind(1, q).bind(2, "%" + q + "%").bind(3, code).bind(4, "%," + code + ",%");
        st.bind(5, static_cast<std::int64_t>(anyCode ? 1 : 0));
    };
    auto counted = db.prepare("SELECT count(*) FROM UserLog" + where);
    bindFilter(counted);
    const std::int64_t total = counted.step() ? counted.integer(0).value_or(0) : 0;
    auto rows = db.prepare("SELECT ComNM, UserID, UserName, UPDT, RSRT, ErNo, ToBkup FROM UserLog" +
                           where + " ORDER BY " + orderFor(sort) + " LIMIT ?6 OFFSET ?7");
    bindFilter(rows);
    rows.bind(6, kRowsPerPage).bind(7, (page - 1) * kRowsPerPage);

    const auto sortLink = [&](const char* key, const char* label) {
        return "<a href=\"/agents?sort=" + std::string(key) +
               "&amp;q=" + pages::htmlEscaped(percentEncoded(q)) +
               "&amp;code=" + pages::htmlEscaped(percentEncoded(code)) +
               (anyCode ? "&amp;codes=1" : "") + "\">" + label + "</a>";
    };
    std::string body =
        "<form method=\"get\" action=\"/agents\"><p><label>絞り込み (ホスト・ユーザー) "
        "<input type=\"text\" name=\"q\" value=\"" +
        pages::htmlEscaped(q) +
        "\" maxlength=\"100\"></label> <button type=\"submit\">表示</button></p></form>";
    body += "<p>" + std::to_string(total) + " 件</p><table><tr><th>" + sortLink("host", "ホスト") +
            "</th><th>" + sortLink("user", "ユーザー") + "</th><th>名前</th><th>" +
            sortLink("report", "最終報告") + "</th><th>" + sortLink("rate", "達成率") +
            "</th><th>" + sortLink("codes", "エラー") + "</th><th>バックアップ先</th></tr>";
    while (rows.step()) {
        const std::string host = rows.text(0).value_or(""), user = rows.text(1).value_or("");
        body += "<tr><td><a href=\"" + pages::htmlEscaped(agentLink(host, user)) + "\">" +
                pages::htmlEscaped(host) + "</a></td><td>" + pages::htmlEscaped(user) +
                "</td><td>" + pages::htmlEscaped(rows.text(2).value_or("")) + "</td><td>" +
                pages::htmlEscaped(rows.text(3).value_or("")) + "</td><td>" +
                pages::htmlEscaped(rows.text(4).value_or("")) + "</td><td>" +
                codesShown(rows.text(5).value_or(""), titles) + "</td><td>" +
                pages::htmlEscaped(rows.text(6).value_or("")) + "</td></tr>";
    }
    body += "</table>";
    if (page * kRowsPerPage < total)
        body += "<p><a href=\"/agents?sort=" + pages::htmlEscaped(percentEncoded(sort)) +
                "&amp;q=" + pages::htmlEscaped(percentEncoded(q)) +
                "&amp;code=" + pages::htmlEscaped(percentEncoded(code)) +
                (anyCode ? "&amp;codes=1" : "") + "&amp;page=" + std::to_string(page + 1) +
                "\">次の " + std::to_string(kRowsPerPage) + " 件</a></p>";
    return html(200, consolePage("エージェント", body, caller.name()));
}

namespace {

// The last 90 days of the agent: the chart, then its codes as they came and went.
std::string agentPast(store::Connection& db, const std::string& host, const std::string& user) {
    constexpr int kDays = 90;
    const platform::LocalTime now = platform::SystemClock().now();
    const auto moments = store::agentHistory(db, host, user, store::minusDays(now, kDays));
    std::string past = "<h2>この " + std::to_string(kDays) + " 日</h2>";
    if (moments.empty()) return past + "<p class=\"note\">まだ記録がありません。</p>";
    past += agentTimelineSvg(moments, now, kDays);
    std::string changes;
    for (std::size_t i = 1; i < moments.size(); ++i)
        if (moments[i].codes != moments[i - 1].codes)
            changes = "<tr><td>" + pages::htmlEscaped(store::generalText(moments[i].at)) +
                      "</td><td>" +
                      (moments[i].codes.empty() ? "解消" : pages::htmlEscaped(moments[i].codes)) +
                      "</td></tr>" + changes;  // newest first
    if (!changes.empty())
        past += "<table><tr><th>時刻</th><th>エラー</th></tr>" + changes + "</table>";
    return past;
}

}  // namespace

HttpResponse WebConsole::agentPage(const Caller& caller, const std::string& host,
                                   const std::string& user) {
    store::Connection db = store::openMng(base_);
    auto row = db.prepare(
        "SELECT ComNM, UserID, UserName, UPDT, RSRT, ErNo, ToBkup, Status, AgtVer FROM UserLog "
        "WHERE ComNM = ?1 COLLATE NOCASE AND UserID = ?2 COLLATE NOCASE LIMIT 1");
    row.bind(1, host).bind(2, user);
    if (!row.step())
        return html(404, consolePage("見つかりません", "<p>そのエージェントはありません。</p>",
                                     caller.name()));
    const std::string shownHost = row.text(0).value_or(""), shownUser = row.text(1).value_or("");
    const std::string tail = percentEncoded(shownHost) + "/" + percentEncoded(shownUser);
    const auto line = [](const char* label, const std::string& value) {
        return "<tr><th>" + std::string(label) + "</th><td>" + value + "</td></tr>";
    };
    std::string body = "<table>";
    body += line("ホスト", pages::htmlEscaped(shownHost));
    body += line("ユーザー", pages::htmlEscaped(shownUser));
    body += line("名前", pages::htmlEscaped(row.text(2).value_or("")));
    body += line("最終報告", pages::htmlEscaped(row.text(3).value_or("")));
    body += line("達成率", pages::htmlEscaped(row.text(4).value_or("")));
    body += line("エラー", codesShown(row.text(5).value_or(""), codeTitles(db)));
    body += line("状態", pages::htmlEscaped(row.text(7).value_or("")));
    body += line("エージェント", pages::htmlEscaped(row.text(8).value_or("")));
    body += line("バックアップ先", pages::htmlEscaped(row.text(6).value_or("")));
    body += "</table><p><a href=\"/log/" + pages::htmlEscaped(tail) +
            "\">ログ (新しい行から)</a> ・ <a href=\"/files/" + pages::htmlEscaped(tail) +
            "\">バックアップ先フォルダ</a> ・ <a href=\"/folder/" + pages::htmlEscaped(tail) +
            "\">復元フォルダ</a></p>";
    body += agentPast(db, shownHost, shownUser);
    return html(200, consolePage(shownHost + " / " + shownUser, body, caller.name()));
}

}  // namespace plenvo::web
