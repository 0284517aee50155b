#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"
#include "web/console_link.h"
#include "web/http/http_request.h"
#include "web/http/http_response.h"
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
    struct Caller;
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
    // Runs a media action for the caller and records it; the outcome's status.
    int act(const Caller& caller, const HttpRequest& request, const std::string& action,
            const std::string& serial, const std::optional<std::string>& userIds,
            const std::optional<std::string>& remark, std::string& told);

    const WebSite& site_;
    UsersWatch* users_;
    const ConsoleLink* console_;
    platform::FailureLog& failures_;
    const platform::BaseFolder base_;
    Sessions sessions_;
    SignInThrottle throttle_;
};

}  // namespace plenvo::web
