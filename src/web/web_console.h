#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "alerts/mail_settings.h"
#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"
#include "web/console_link.h"
#include "web/console_settings.h"
#include "web/http/http_request.h"
#include "web/http/http_response.h"
#include "web/mail_form.h"
#include "web/routes.h"
#include "web/sessions.h"
#include "web/sign_in_throttle.h"
#include "web/users_watch.h"

namespace plenvo::web {

// The signed-in console around the pages: who a request comes from (a
// session's cookie, or Basic for scripts), what they may do (viewers look,
// admins act), the removable media actions as forms and as JSON under
// /api/, and the audit record of every action. Actions need a signed-in
// admin on every address; without a users file the view only looks.
class WebConsole {
  public:
    WebConsole(const WebSite& site, UsersWatch* users, const ConsoleLink* console,
               platform::FailureLog& failures, platform::BaseFolder base);

    HttpResponse answer(const HttpRequest& request);

  private:
    // Who sent a request, and with which session.
    struct Caller {
        std::optional<SignedIn> who;
        std::optional<Session> session;
        std::string address;

        bool isAdmin() const { return who && who->role == Role::admin; }
        std::string name() const { return who ? who->user : std::string(); }
        std::string csrf() const { return session ? session->csrf : std::string(); }
    };

    Caller identify(const HttpRequest& request);
    HttpResponse signIn(const HttpRequest& request);
    HttpResponse signOut(const HttpRequest& request, const Caller& caller);
    HttpResponse mediaPage(const Caller& caller);
    HttpResponse mediaForm(const HttpRequest& request, const Caller& caller,
                           const std::string& action);
    HttpResponse mediaAction(const HttpRequest& request, const Caller& caller,
                             const std::string& action);
    HttpResponse auditPage(const Caller& caller);
    HttpResponse api(const HttpRequest& request, const Caller& caller,
                     const std::vector<std::string>& segments);
    // What an action came to: the status to answer, one line for the page.
    struct Done {
        int status;
        std::string told;
    };
    // Runs `work` with the console, then records it in AuditLog and the
    // journal; 503 when no console runs.
    Done perform(const Caller& caller, const std::string& action, const std::string& object,
                 const std::function<Done(const platform::RunContext&, ConsoleSettings*)>& work);
    Done mediaAct(const Caller& caller, const std::string& action, const std::string& serial,
                  const std::optional<std::string>& userIds,
                  const std::optional<std::string>& remark);
    Done settingAct(const Caller& caller, const std::string& action, const std::string& object,
                    const std::function<SettingOutcome(ConsoleSettings&)>& change);
    struct CurrentSettings {
        std::vector<std::string> destinations;
        bool monitoring = false;
        bool fromConsole = false;
    };
    CurrentSettings currentSettings() const;
    // The running console's, else as status.json last told them.
    std::vector<PassRecord> passesNow() const;
    HttpResponse settingsPage(const Caller& caller);
    HttpResponse settingsForm(const HttpRequest& request, const Caller& caller,
                              const std::vector<std::string>& segments);
    HttpResponse settingsAction(const HttpRequest& request, const Caller& caller,
                                const std::vector<std::string>& segments);
    // The form's fields when it carries the caller's session token.
    std::optional<std::map<std::string, std::string>> trustedForm(const HttpRequest& request,
                                                                  const Caller& caller) const;
    HttpResponse overview(const Caller& caller);
    alerts::MailSettings mailInUse() const;
    Done mailAct(const Caller& caller, const MailEntry& entry, bool testOnly);
    HttpResponse mailPage(const Caller& caller);
    HttpResponse mailAction(const HttpRequest& request, const Caller& caller, bool testOnly);
    HttpResponse agentsPage(const HttpRequest& request, const Caller& caller);
    HttpResponse agentPage(const Caller& caller, const std::string& host, const std::string& user);
    HttpResponse sharesPage(const Caller& caller);

    const WebSite& site_;
    UsersWatch* users_;
    const ConsoleLink* console_;
    platform::FailureLog& failures_;
    const platform::BaseFolder base_;
    Sessions sessions_;
    SignInThrottle throttle_;
};

}  // namespace plenvo::web
