#include "pages/page_text.h"
#include "store/audit_log.h"
#include "store/mng_database.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

HttpResponse WebConsole::auditPage(const Caller& caller) {
    if (!caller.isAdmin())
        return html(403, consolePage("操作記録", "<p>管理者だけが見られます。</p>", caller.name()));
    store::Connection db = store::openMng(base_);
    std::string body =
        "<table><tr><th>日時</th><th>ユーザー</th><th>アドレス</th><th>操作</th>"
        "<th>対象</th><th>結果</th></tr>";
    for (const auto& e : store::recentAudit(db, kAuditShown))
        body += "<tr><td>" + pages::htmlEscaped(e.time) + "</td><td>" + pages::htmlEscaped(e.user) +
                "</td><td>" + pages::htmlEscaped(e.address) + "</td><td>" +
                pages::htmlEscaped(e.action) + "</td><td>" + pages::htmlEscaped(e.object) +
                "</td><td>" + pages::htmlEscaped(e.outcome) + "</td></tr>";
    body += "</table>";
    return html(200, consolePage("操作記録", body, caller.name()));
}

}  // namespace plenvo::web
