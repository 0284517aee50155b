#include "web/web_console.h"

#include <charconv>

#include "pages/json_writer.h"
#include "pages/page_text.h"
#include "platform/core/journal_line.h"
#include "removable/media_actions.h"
#include "store/audit_log.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"
#include "web/console_html.h"
#include "web/cookies.h"
#include "web/form_fields.h"
#include "web/json_body.h"
#include "web/request_path.h"

namespace plenvo::web {
namespace {

constexpr const char* kConsoleHtmlType = "text/html; charset=utf-8";
constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr std::size_t kFieldLength = removable::kMediaFieldChars;
constexpr std::size_t kAuditShown = 200;

using Clock = std::chrono::steady_clock;

HttpResponse html(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.contentType = kConsoleHtmlType;
    response.body = std::move(body);
    return response;
}

HttpResponse json(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.contentType = kJsonType;
    response.body = std::move(body);
    return response;
}

HttpResponse jsonError(int status, std::string_view why) {
    return json(status, "{\"error\": " + pages::jsonString(why) + "}\n");
}

HttpResponse seeOther(std::string_view where) {
    HttpResponse response = HttpResponse::text(303, "see " + std::string(where));
    response.headers.emplace_back("Location", std::string(where));
    return response;
}

bool isPost(const HttpRequest& request) {
    return request.method == "POST";
}

bool contentTypeIs(const HttpRequest& request, std::string_view type) {
    const auto given = request.header("content-type");
    if (!given) return false;
    const std::string_view value = *given;
    return value.substr(0, value.find(';')) == type;
}

std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

std::optional<std::string> field(const std::map<std::string, std::string>& fields,
                                 const std::string& name) {
    const auto found = fields.find(name);
    if (found == fields.end()) return std::nullopt;
    return found->second;
}

const char* actionName(const std::string& action) {
    if (action == "approve") return "許可";
    if (action == "deny") return "否認";
    if (action == "change") return "変更";
    return "削除";
}

bool knownAction(const std::string& action) {
    return action == "approve" || action == "deny" || action == "change" || action == "delete";
}

}  // namespace

struct WebConsole::Caller {
    std::optional<SignedIn> who;
    std::optional<Session> session;
    std::string address;

    bool isAdmin() const { return who && who->role == Role::admin; }
    std::string name() const { return who ? who->user : std::string(); }
    std::string csrf() const { return session ? session->csrf : std::string(); }
};

WebConsole::WebConsole(const WebSite& site, UsersWatch* users, const ConsoleLink* console,
                       platform::FailureLog& failures, platform::BaseFolder base)
    : site_(site), users_(users), console_(console), failures_(failures), base_(std::move(base)) {}

WebConsole::Caller WebConsole::identify(const HttpRequest& request) {
    Caller caller;
    caller.address = request.peer.empty() ? "local" : request.peer;
    if (const auto cookies = request.header("cookie"))
        if (const auto id = cookieValue(*cookies, kSessionCookieName))
            if (auto session = sessions_.find(*id, Clock::now())) {
                caller.who = session->who;
                caller.session = std::move(session);
                return caller;
            }
    if (users_)
        if (const auto authorization = request.header("authorization"))
            caller.who = users_->basic(*authorization);
    return caller;
}

HttpResponse WebConsole::answer(const HttpRequest& request) {
    const auto segments = pathSegments(request.target);
    if (!segments) return HttpResponse::text(404, "not found");
    const std::string_view path = pathOf(request.target);
    if (path == "/signin") return signIn(request);
    const Caller caller = identify(request);
    const bool mustSignIn = users_ != nullptr && !caller.who;
    const bool apiCall = !segments->empty() && (*segments)[0] == "api";
    if (mustSignIn) {
        if (apiCall || request.header("authorization")) {
            HttpResponse asked =
                apiCall ? jsonError(401, "sign in") : HttpResponse::text(401, "sign in");
            asked.headers.emplace_back("WWW-Authenticate",
                                       "Basic realm=\"Plenvo Backup Manager\", charset=\"UTF-8\"");
            return asked;
        }
        return seeOther("/signin");
    }
    if (apiCall) return api(request, caller, *segments);
    if (path == "/signout") return signOut(request, caller);
    if (segments->size() == 1 && (*segments)[0] == "media" && !isPost(request))
        return mediaPage(caller);
    if (segments->size() == 2 && (*segments)[0] == "media" && knownAction((*segments)[1]))
        return isPost(request) ? mediaAction(request, caller, (*segments)[1])
                               : mediaForm(request, caller, (*segments)[1]);
    if (segments->size() == 1 && (*segments)[0] == "audit") return auditPage(caller);
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse refused = HttpResponse::text(405, "only GET and HEAD here");
        refused.headers.emplace_back("Allow", "GET, HEAD");
        return refused;
    }
    return site_.answer(request.target);
}

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
    const auto query = request.target.find('?');
    const auto fields =
        formFields(query == std::string::npos ? "" : request.target.substr(query + 1));
    const std::string serial = fields ? field(*fields, "serial").value_or("") : "";
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
    if (!contentTypeIs(request, "application/x-www-form-urlencoded"))
        return HttpResponse::text(403, "not a form of this console");
    const auto fields = formFields(request.body);
    const auto token = fields ? field(*fields, "csrf") : std::nullopt;
    if (!token || !sameSecret(*token, caller.session->csrf))
        return HttpResponse::text(403, "the form is not this session's");
    std::string told;
    const int status = act(caller, request, action, field(*fields, "serial").value_or(""),
                           field(*fields, "user_ids"), field(*fields, "remark"), told);
    return html(status, consolePage(actionName(action),
                                    "<p>" + pages::htmlEscaped(told) +
                                        "</p><p><a href=\"/media\">リムーバブルメディアへ</a></p>",
                                    caller.name()));
}

int WebConsole::act(const Caller& caller, const HttpRequest& request, const std::string& action,
                    const std::string& serial, const std::optional<std::string>& userIds,
                    const std::optional<std::string>& remark, std::string& told) {
    (void)request;
    int status = 503;
    told = "the console is not running";
    const bool ran = console_ && console_->with([&](const platform::RunContext& ctx) {
        store::MonitoringFlag flag;
        store::readMonitoringFlag(ctx.base, flag);
        removable::ActionResult result;
        if (action == "approve")
            result = removable::approveRequest(ctx, flag, serial, userIds, remark);
        else if (action == "deny")
            result = removable::denyRequest(ctx, flag, serial);
        else if (action == "change")
            result = removable::changeRegistration(ctx, flag, serial, userIds.value_or(""),
                                                   remark.value_or(""));
        else
            result = removable::deleteRegistration(ctx, flag, serial);
        switch (result.outcome) {
            case removable::ActionOutcome::done:
                status = 200;
                told = "done";
                break;
            case removable::ActionOutcome::notFound:
                status = 404;
                told = "no such medium or request";
                break;
            case removable::ActionOutcome::refused:
                status = 422;
                told = result.why;
                break;
            default:
                status = 500;
                told = result.why.empty() ? "failed" : result.why;
                break;
        }
        const std::string object = serial.substr(0, 100);
        try {
            store::Connection db = store::openMng(ctx.base);
            const auto turn = store::writeTurn(ctx);
            store::appendAudit(db, {.time = store::generalText(ctx.clock.now()),
                                    .user = caller.name(),
                                    .address = caller.address,
                                    .action = action,
                                    .object = object,
                                    .outcome = told});
        } catch (const std::exception& e) {
            failures_.report("web console: audit", e.what());
        }
        platform::tellLine(platform::LinePriority::info,
                           "PlenvoBackupMng: web console: " + caller.name() + " from " +
                               caller.address + ": " + action + " " + object + ": " + told);
    });
    if (!ran) status = 503;
    return status;
}

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

HttpResponse WebConsole::api(const HttpRequest& request, const Caller& caller,
                             const std::vector<std::string>& s) {
    const bool reading = request.method == "GET" || request.method == "HEAD";
    if (!reading) {
        if (!caller.isAdmin()) return jsonError(403, "actions need an admin");
        // A cross-site form cannot send this type without the browser asking first.
        if (request.method != "DELETE" && !contentTypeIs(request, "application/json"))
            return jsonError(403, "send application/json");
    }
    std::map<std::string, JsonField> body;
    if (!reading && !request.body.empty()) {
        auto parsed = flatJsonObject(request.body);
        if (!parsed) return jsonError(400, "the body is no flat JSON object");
        body = std::move(*parsed);
    }
    bool wrongType = false;
    const auto userIds = stringField(body, "user_ids", wrongType);
    const auto remark = stringField(body, "remark", wrongType);
    if (wrongType) return jsonError(400, "user_ids and remark are strings");

    std::string told;
    const auto outcome = [&](int status) {
        return status == 200 ? json(200, "{\"done\": true}\n") : jsonError(status, told);
    };
    if (s.size() == 2 && s[1] == "requests" && reading) {
        store::Connection db = store::openMng(base_);
        pages::JsonWriter out;
        out.beginArray();
        for (const auto& r : removable::pendingRequests(db)) {
            out.beginObject();
            out.key("serial"), out.string(r.serial);
            out.key("size"), out.string(r.size);
            out.key("user_ids"), out.string(r.userIds);
            out.key("remark"), out.string(r.remark);
            out.key("received"), out.string(r.received);
            out.endObject();
        }
        out.endArray();
        return json(200, out.text());
    }
    if (s.size() == 4 && s[1] == "requests" && isPost(request) &&
        (s[3] == "approve" || s[3] == "deny"))
        return outcome(act(caller, request, s[3], s[2], userIds, remark, told));
    if (s.size() == 2 && s[1] == "media" && reading) {
        store::Connection db = store::openMng(base_);
        pages::JsonWriter out;
        out.beginArray();
        for (const auto& m : removable::registeredMedia(db)) {
            out.beginObject();
            out.key("serial"), out.string(m.serial);
            out.key("size"), out.string(m.size);
            out.key("user_ids"), out.string(m.userIds);
            out.key("remark"), out.string(m.remark);
            out.key("updated"), out.string(m.updated);
            out.key("last_use"), out.string(m.lastUse);
            out.endObject();
        }
        out.endArray();
        return json(200, out.text());
    }
    if (s.size() == 3 && s[1] == "media" && request.method == "PUT")
        return outcome(act(caller, request, "change", s[2], userIds, remark, told));
    if (s.size() == 3 && s[1] == "media" && request.method == "DELETE")
        return outcome(act(caller, request, "delete", s[2], std::nullopt, std::nullopt, told));
    if (s.size() == 2 && s[1] == "audit" && reading) {
        if (!caller.isAdmin()) return jsonError(403, "the audit record is for admins");
        std::size_t limit = 100;
        if (const auto q = request.target.find("?limit="); q != std::string::npos) {
            const std::string_view digits = std::string_view(request.target).substr(q + 7);
            std::from_chars(digits.data(), digits.data() + digits.size(), limit);
        }
        store::Connection db = store::openMng(base_);
        pages::JsonWriter out;
        out.beginArray();
        for (const auto& e : store::recentAudit(db, std::min<std::size_t>(limit, 10'000))) {
            out.beginObject();
            out.key("time"), out.string(e.time);
            out.key("user"), out.string(e.user);
            out.key("address"), out.string(e.address);
            out.key("action"), out.string(e.action);
            out.key("object"), out.string(e.object);
            out.key("outcome"), out.string(e.outcome);
            out.endObject();
        }
        out.endArray();
        return json(200, out.text());
    }
    return jsonError(404, "no such route");
}

}  // namespace plenvo::web
