#include "pages/page_text.h"
#include "store/mng_database.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

std::int64_t countOf(store::Connection& db, const char* sql) {
    auto st = db.prepare(sql);
    return st.step() ? st.integer(0).value_or(0) : 0;
}

std::string figure(const char* label, std::int64_t value, const char* link = nullptr) {
    std::string cell = "<tr><th>" + std::string(label) + "</th><td>";
    cell += link ? "<a href=\"" + std::string(link) + "\">" + std::to_string(value) + "</a>"
                 : std::to_string(value);
    return cell + "</td></tr>";
}

}  // namespace

// What needs the administrator, on one page: the agents by state, waiting
// requests, and shares that fill up.
HttpResponse WebConsole::overview(const Caller& caller) {
    store::Connection db = store::openMng(base_);
    // Codes are listed as "07,15"; a comma around each makes one a word.
    const auto withCode = [&](const char* code) {
        auto st = db.prepare("SELECT count(*) FROM UserLog WHERE ',' || ErNo || ',' LIKE ?1");
        st.bind(1, std::string("%,") + code + ",%");
        return st.step() ? st.integer(0).value_or(0) : 0;
    };
    std::string body = "<table>";
    body += figure("エージェント", countOf(db, "SELECT count(*) FROM UserLog"), "/Index.htm");
    body += figure("問題なし",
                   countOf(db, "SELECT count(*) FROM UserLog WHERE ErNo IS NULL OR ErNo = ''"));
    body +=
        figure("エラーあり",
               countOf(db, "SELECT count(*) FROM UserLog WHERE ErNo IS NOT NULL AND ErNo <> ''"));
    body += figure("報告なし (15)", withCode("15"));
    body += figure("接続できない (08)", withCode("08"));
    body += figure("メディアの申請", countOf(db, "SELECT count(*) FROM RemList_Add"), "/media");
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
    body +=
        "<p><a href=\"/DiskChk.htm\">共有ドライブの一覧</a> ・ <a "
        "href=\"/settings\">環境設定</a></p>";
    return html(200, consolePage("バックアップ状況", body, caller.name()));
}

}  // namespace plenvo::web
