#include "platform/core/journal_line.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/cookies.h"
#include "web/form_fields.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

HttpResponse WebConsole::signIn(const HttpRequest& request) {
    const std::string form =
        "<form method=\"post\" action=\"/signin\">" +
        textField("ユーザー名", "user", "", kFieldLength) +
        "<p><label>パスワード<br><input type=\"password\" name=\"password\" maxlength=\"255\">"
        "</label></p><button type=\"submit\">サインイン</button></form>";
    if (!users_)
        return html(200, consolePage("サインイン",
                                     "<p class=\"note\">利用者ファイル (--http-users) "
                                     "がないため、このコンソールは表示のみです。</p>",
                                     ""));
    if (!isPost(request)) return html(200, consolePage("サインイン", form, ""));
    const std::string address = request.peer.empty() ? "local" : request.peer;
    const auto now = Clock::now();
    if (!throttle_.allows(address, now)) {
        HttpResponse slowed =
            html(429, consolePage("サインイン",
                                  "<p>失敗が続いたため、しばらく待ってからやり直してください。</p>",
                                  ""));
        slowed.headers.emplace_back("Retry-After",
                                    std::to_string(throttle_.retryAfter(address, now).count()));
        return slowed;
    }
    const auto fields = formFields(request.body);
    const std::string user = fields ? field(*fields, "user").value_or("") : "";
    const std::string password = fields ? field(*fields, "password").value_or("") : "";
    const auto who = users_->check(user, password);
    if (!who) {
        throttle_.failed(address, now);
        platform::tellLine(platform::LinePriority::warning,
                           "PlenvoBackupMng: web view: failed sign-in as \"" + user.substr(0, 64) +
                               "\" from " + address);
        return html(
            401, consolePage("サインイン", "<p>ユーザー名かパスワードが違います。</p>" + form, ""));
    }
    throttle_.succeeded(address);
    const Session session = sessions_.start(*who, now);
    HttpResponse done = seeOther("/media");
    done.headers.emplace_back("Set-Cookie",
                              sessionCookie(session.id, request.secure, sessions_.lifetime()));
    return done;
}

HttpResponse WebConsole::signOut(const HttpRequest& request, const Caller& caller) {
    if (!caller.session)
        return html(200, consolePage("サインアウト", "<p>サインインしていません。</p>", ""));
    if (!isPost(request))
        return html(200, consolePage("サインアウト",
                                     postForm("/signout", caller.csrf(), "", "サインアウト"),
                                     caller.name()));
    const auto fields = formFields(request.body);
    const auto token = fields ? field(*fields, "csrf") : std::nullopt;
    if (!token || !sameSecret(*token, caller.session->csrf))
        return HttpResponse::text(403, "the form is not this session's");
    sessions_.end(caller.session->id);
    HttpResponse done = seeOther("/signin");
    done.headers.emplace_back("Set-Cookie", endedSessionCookie(request.secure));
    return done;
}

}  // namespace plenvo::web
