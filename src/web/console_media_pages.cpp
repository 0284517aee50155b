#include "pages/page_text.h"
#include "store/mng_database.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/cookies.h"
#include "web/form_fields.h"
#include "web/request_path.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

HttpResponse WebConsole::mediaPage(const Caller& caller) {
    store::Connection db = store::openMng(base_);
    const auto requests = removable::pendingRequests(db);
    const auto media = removable::registeredMedia(db);
    const bool acts = caller.isAdmin() && caller.session;
    const auto link = [&](const char* action, const std::string& serial) {
        return acts ? "<a href=\"/media/" + std::string(action) +
                          "?serial=" + percentEncoded(serial) + "\">" + actionName(action) + "</a> "
                    : std::string();
    };
    std::string body =
        "<h2>申請 <span class=\"badge\">" + std::to_string(requests.size()) + "</span></h2>";
    if (requests.empty())
        body += "<p class=\"note\">申請はありません。</p>";
    else {
        body +=
            "<table><tr><th>シリアル番号</th><th>容量</th><th>ユーザーID</th><th>備考</th>"
            "<th>申請日時</th><th></th></tr>";
        for (const auto& r : requests)
            body += "<tr><td>" + pages::htmlEscaped(r.serial) + "</td><td>" +
                    pages::htmlEscaped(r.size) + "</td><td>" + pages::htmlEscaped(r.userIds) +
                    "</td><td>" + pages::htmlEscaped(r.remark) + "</td><td>" +
                    pages::htmlEscaped(r.received) + "</td><td>" + link("approve", r.serial) +
                    link("deny", r.serial) + "</td></tr>";
        body += "</table>";
    }
    body += "<h2>登録済みメディア</h2>";
    if (media.empty())
        body += "<p class=\"note\">登録はありません。</p>";
    else {
        body +=
            "<table><tr><th>シリアル番号</th><th>容量</th><th>ユーザーID</th><th>備考</th>"
            "<th>更新日時</th><th>最終使用</th><th></th></tr>";
        for (const auto& m : media)
            body += "<tr><td>" + pages::htmlEscaped(m.serial) + "</td><td>" +
                    pages::htmlEscaped(m.size) + "</td><td>" + pages::htmlEscaped(m.userIds) +
                    "</td><td>" + pages::htmlEscaped(m.remark) + "</td><td>" +
                    pages::htmlEscaped(m.updated) + "</td><td>" + pages::htmlEscaped(m.lastUse) +
                    "</td><td>" + link("change", m.serial) + link("delete", m.serial) +
                    "</td></tr>";
        body += "</table>";
    }
    if (!acts && users_)
        body += "<p class=\"note\">操作は管理者としてサインインすると行えます。</p>";
    return html(200, consolePage("リムーバブルメディア", body, caller.name()));
}

// The confirmation step: what the action will do, with the fields to edit first.
HttpResponse WebConsole::mediaForm(const HttpRequest& request, const Caller& caller,
                                   const std::string& action) {
    if (!caller.isAdmin() || !caller.session)
        return html(403, consolePage("操作できません",
                                     "<p>管理者としてサインインしてください。</p>", caller.name()));
    const std::string serial = field(queryFields(request.target), "serial").value_or("");
    store::Connection db = store::openMng(base_);
    std::string userIds, remark;
    bool found = false;
    if (action == "approve" || action == "deny") {
        for (const auto& r : removable::pendingRequests(db))
            if (!found && r.serial == serial) {
                userIds = r.userIds;
                remark = r.remark;
                found = true;
            }
    } else {
        for (const auto& m : removable::registeredMedia(db))
            if (!found && m.serial == serial) {
                userIds = m.userIds;
                remark = m.remark;
                found = true;
            }
    }
    if (!found)
        return html(404, consolePage("見つかりません",
                                     "<p>" + pages::htmlEscaped(serial) +
                                         " はありません。</p><p><a href=\"/media\">戻る</a></p>",
                                     caller.name()));
    std::string inputs = hiddenField("serial", serial);
    if (action == "approve" || action == "change")
        inputs += textField("ユーザーID", "user_ids", userIds, kFieldLength) +
                  textField("備考", "remark", remark, kFieldLength);
    const std::string body =
        "<p>シリアル番号 " + pages::htmlEscaped(serial) + " を" + actionName(action) +
        "します。</p>" + postForm("/media/" + action, caller.csrf(), inputs, actionName(action)) +
        "<p><a href=\"/media\">やめる</a></p>";
    return html(200, consolePage(actionName(action), body, caller.name()));
}

HttpResponse WebConsole::mediaAction(const HttpRequest& request, const Caller& caller,
                                     const std::string& action) {
    if (!caller.isAdmin() || !caller.session)
        return HttpResponse::text(403, "actions need an admin signed in with this browser");
    const auto fields = trustedForm(request, caller);
    if (!fields) return HttpResponse::text(403, "the form is not this session's");
    const Done done = mediaAct(caller, action, field(*fields, "serial").value_or(""),
                               field(*fields, "user_ids"), field(*fields, "remark"));
    return html(done.status,
                consolePage(actionName(action),
                            "<p>" + pages::htmlEscaped(done.told) +
                                "</p><p><a href=\"/media\">リムーバブルメディアへ</a></p>",
                            caller.name()));
}

}  // namespace plenvo::web
