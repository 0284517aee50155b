#include "web/web_console.h"

#include "platform/core/journal_line.h"
#include "store/audit_log.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/cookies.h"
#include "web/form_fields.h"
#include "web/request_path.h"

namespace plenvo::web {

using namespace reply;

WebConsole::WebConsole(const WebSite& site, UsersWatch* users, const ConsoleLink* console,
                       platform::FailureLog& failures, platform::BaseFolder base)
    : site_(site), users_(users), console_(console), failures_(failures), base_(std::move(base)) {}

WebConsole::Caller WebConsole::identify(const HttpRequest& request) {
    Caller caller;
    caller.address = request.peer.empty() ? "local" : request.peer;
    if (const auto cookies = request.header("cookie"))
        if (const auto id = cookieValue(*cookies, kSessionCookieName))
            if (auto session = sessions_.find(*id, Clock::now())) {
                // A user taken out of the users file, or given another role,
                // counts from the next request, as with Basic.
                const auto role = users_ ? users_->roleOf(session->who.user) : std::nullopt;
                if (!role) {
                    sessions_.end(session->id);
                } else {
                    caller.who = session->who;
                    caller.who->role = *role;
                    caller.session = std::move(session);
                    return caller;
                }
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
    if (segments->size() >= 2 && (*segments)[0] == "settings" && (*segments)[1] == "mail") {
        if (segments->size() == 2)
            return isPost(request) ? mailAction(request, caller, false) : mailPage(caller);
        if (segments->size() == 3 && (*segments)[2] == "test" && isPost(request))
            return mailAction(request, caller, true);
    }
    if (!segments->empty() && (*segments)[0] == "settings") {
        if (segments->size() == 1 && !isPost(request)) return settingsPage(caller);
        return isPost(request) ? settingsAction(request, caller, *segments)
                               : settingsForm(request, caller, *segments);
    }
    if (segments->empty() && !isPost(request)) return overview(caller);
    if (segments->size() == 1 && (*segments)[0] == "shares" && !isPost(request))
        return sharesPage(caller);
    if (!segments->empty() && (*segments)[0] == "agents" && !isPost(request)) {
        if (segments->size() == 1) return agentsPage(request, caller);
        if (segments->size() == 3) return agentPage(caller, (*segments)[1], (*segments)[2]);
    }
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse refused = HttpResponse::text(405, "only GET and HEAD here");
        refused.headers.emplace_back("Allow", "GET, HEAD");
        return refused;
    }
    HttpResponse answer = site_.answer(request.target);
    if (answer.status == 404 && path == "/DiskChk.htm")
        return html(200, consolePage("共有ドライブ",
                                     "<p class=\"note\">共有ドライブはまだ調べていません。"
                                     "最初のチェックのあとに表示されます。</p>",
                                     caller.name()));
    return answer;
}

std::optional<std::map<std::string, std::string>> WebConsole::trustedForm(
    const HttpRequest& request, const Caller& caller) const {
    if (!caller.session || !contentTypeIs(request, "application/x-www-form-urlencoded"))
        return std::nullopt;
    auto fields = formFields(request.body);
    const auto token = fields ? field(*fields, "csrf") : std::nullopt;
    if (!token || !sameSecret(*token, caller.session->csrf)) return std::nullopt;
    return fields;
}

WebConsole::Done WebConsole::perform(
    const Caller& caller, const std::string& action, const std::string& object,
    const std::function<Done(const platform::RunContext&, ConsoleSettings*)>& work) {
    Done done{503, "the console is not running"};
    const bool ran =
        console_ && console_->with([&](const platform::RunContext& ctx, ConsoleSettings* settings) {
            try {
                done = work(ctx, settings);
            } catch (const std::exception& e) {
                failures_.report("web console: " + action, e.what());
                done = {500, "failed"};
            }
            const std::string shown = object.substr(0, 300);
            try {
                store::Connection db = store::openMng(ctx.base);
                const auto turn = store::writeTurn(ctx);
                store::appendAudit(db, {.time = store::generalText(ctx.clock.now()),
                                        .user = caller.name(),
                                        .address = caller.address,
                                        .action = action,
                                        .object = shown,
                                        .outcome = done.told});
            } catch (const std::exception& e) {
                failures_.report("web console: audit", e.what());
            }
            platform::tellLine(platform::LinePriority::info,
                               "PlenvoBackupMng: web console: " + caller.name() + " from " +
                                   caller.address + ": " + action + " " + shown + ": " + done.told);
        });
    if (!ran) done = {503, "the console is not running"};
    return done;
}

WebConsole::Done WebConsole::mediaAct(const Caller& caller, const std::string& action,
                                      const std::string& serial,
                                      const std::optional<std::string>& userIds,
                                      const std::optional<std::string>& remark) {
    return perform(caller, action, serial, [&](const platform::RunContext& ctx, ConsoleSettings*) {
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
                return Done{200, "done"};
            case removable::ActionOutcome::notFound:
                return Done{404, "no such medium or request"};
            case removable::ActionOutcome::refused:
                return Done{422, result.why};
            default:
                return Done{500, result.why.empty() ? "failed" : result.why};
        }
    });
}

WebConsole::Done WebConsole::settingAct(
    const Caller& caller, const std::string& action, const std::string& object,
    const std::function<SettingOutcome(ConsoleSettings&)>& change) {
    return perform(caller, action, object,
                   [&](const platform::RunContext&, ConsoleSettings* settings) {
                       if (!settings)
                           return Done{503, "the console keeps no settings for the view"};
                       const SettingOutcome outcome = change(*settings);
                       switch (outcome.kind) {
                           case SettingOutcome::done:
                               return Done{200, "done"};
                           case SettingOutcome::unchanged:
                               return Done{200, "unchanged"};
                           case SettingOutcome::notFound:
                               return Done{404, "not listed"};
                           case SettingOutcome::refused:
                               return Done{422, outcome.why};
                           default:
                               return Done{500, outcome.why.empty() ? "failed" : outcome.why};
                       }
                   });
}

}  // namespace plenvo::web
