#include <charconv>

#include "store/audit_log.h"
#include "store/mng_database.h"
#include "web/agent_counts.h"
#include "web/console_replies.h"
#include "web/json_body.h"
#include "web/pass_record.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

// A JSON array of `rows`, each an object `member` writes.
template <typename Rows, typename Member>
HttpResponse jsonArray(const Rows& rows, Member member) {
    pages::JsonWriter out;
    out.beginArray();
    for (const auto& row : rows) {
        out.beginObject();
        member(out, row);
        out.endObject();
    }
    out.endArray();
    return json(200, out.text());
}

void put(pages::JsonWriter& out, std::string_view name, std::string_view value) {
    out.key(name);
    out.string(value);
}

std::size_t limitOf(const std::string& target) {
    std::size_t limit = 100;
    if (const auto at = target.find("limit="); at != std::string::npos) {
        const std::string_view digits = std::string_view(target).substr(at + 6);
        std::from_chars(digits.data(), digits.data() + digits.size(), limit);
    }
    return std::min<std::size_t>(limit, 10'000);
}

}  // namespace

HttpResponse WebConsole::api(const HttpRequest& request, const Caller& caller,
                             const std::vector<std::string>& s) {
    const bool reading = request.method == "GET" || request.method == "HEAD";
    if (!reading) {
        if (!caller.isAdmin()) return jsonError(403, "actions need an admin");
        // A cross-site form cannot send this type without the browser asking first.
        if (!request.body.empty() && !contentTypeIs(request, "application/json"))
            return jsonError(403, "send application/json");
        if (request.method == "POST" && request.body.empty() &&
            !contentTypeIs(request, "application/json"))
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
    const auto path = stringField(body, "path", wrongType);
    if (wrongType) return jsonError(400, "user_ids, remark and path are strings");
    const auto answered = [](const Done& done, int doneStatus = 200) {
        return done.status == 200
                   ? json(doneStatus,
                          "{\"done\": true, \"outcome\": " + pages::jsonString(done.told) + "}\n")
                   : jsonError(done.status, done.told);
    };
    const std::string route = s.size() >= 2 ? s[1] : "";

    if (route == "requests" && s.size() == 2 && reading) {
        store::Connection db = store::openMng(base_);
        return jsonArray(removable::pendingRequests(db), [](auto& out, const auto& r) {
            put(out, "serial", r.serial);
            put(out, "size", r.size);
            put(out, "user_ids", r.userIds);
            put(out, "remark", r.remark);
            put(out, "received", r.received);
        });
    }
    if (route == "requests" && s.size() == 4 && isPost(request) &&
        (s[3] == "approve" || s[3] == "deny"))
        return answered(mediaAct(caller, s[3], s[2], userIds, remark));
    if (route == "media" && s.size() == 2 && reading) {
        store::Connection db = store::openMng(base_);
        return jsonArray(removable::registeredMedia(db), [](auto& out, const auto& m) {
            put(out, "serial", m.serial);
            put(out, "size", m.size);
            put(out, "user_ids", m.userIds);
            put(out, "remark", m.remark);
            put(out, "updated", m.updated);
            put(out, "last_use", m.lastUse);
        });
    }
    if (route == "media" && s.size() == 3 && request.method == "PUT")
        return answered(mediaAct(caller, "change", s[2], userIds, remark));
    if (route == "media" && s.size() == 3 && request.method == "DELETE")
        return answered(mediaAct(caller, "delete", s[2], std::nullopt, std::nullopt));
    if (route == "destinations" && s.size() == 2) {
        if (reading) {
            pages::JsonWriter out;
            out.beginArray();
            for (const auto& d : currentSettings().destinations) out.string(d);
            out.endArray();
            return json(200, out.text());
        }
        if (!path) return jsonError(400, "give {\"path\": \"...\"}");
        if (isPost(request)) {
            const Done done = settingAct(caller, "add destination", *path, [&](ConsoleSettings& c) {
                return c.addDestination(*path);
            });
            return done.status == 200 && done.told == "done" ? answered(done, 201) : answered(done);
        }
        if (request.method == "DELETE")
            return answered(
                settingAct(caller, "remove destination", *path,
                           [&](ConsoleSettings& c) { return c.removeDestination(*path); }));
    }
    if (route == "settings" && s.size() == 3 && s[2] == "monitoring") {
        if (reading) {
            bool on = false;
            const bool known = console_ && console_->with([&](const auto&, ConsoleSettings* c) {
                if (c) on = c->monitoring();
            });
            if (!known) return jsonError(503, "the console is not running");
            return json(200, std::string("{\"enabled\": ") + (on ? "true" : "false") + "}\n");
        }
        const auto enabled = body.find("enabled");
        if (request.method != "PUT" || enabled == body.end() ||
            !std::holds_alternative<bool>(enabled->second))
            return jsonError(400, "PUT {\"enabled\": true or false}");
        const bool on = std::get<bool>(enabled->second);
        return answered(settingAct(caller, "monitoring", on ? "on" : "off",
                                   [&](ConsoleSettings& c) { return c.setMonitoring(on); }));
    }
    if (route == "settings" && s.size() >= 3 && s[2] == "mail") {
        if (s.size() == 3 && reading) {
            if (!caller.isAdmin()) return jsonError(403, "the mail settings are for admins");
            const alerts::MailSettings now = mailInUse();
            pages::JsonWriter out;
            out.beginObject();
            put(out, "server", now.server);
            out.key("port"), out.integer(now.port);
            put(out, "security", alerts::securityName(now.security));
            put(out, "user", now.user);
            out.key("password_set"), out.boolean(!now.password.empty());
            put(out, "from", now.from);
            put(out, "to", now.to);
            out.key("notify_users"), out.boolean(now.notifyUsers);
            out.key("max_mails"), out.integer(now.limit);
            put(out, "web_url", now.webUrl);
            out.endObject();
            return json(200, out.text());
        }
        const auto text = [&](const char* name) -> std::optional<std::string> {
            const auto found = body.find(name);
            if (found == body.end()) return std::nullopt;
            if (const auto* s = std::get_if<std::string>(&found->second)) return *s;
            if (const auto* d = std::get_if<double>(&found->second))
                return std::to_string(static_cast<long long>(*d));
            if (const auto* b = std::get_if<bool>(&found->second)) return *b ? "1" : "0";
            return std::nullopt;
        };
        MailEntry entry{.server = text("server"),
                        .port = text("port"),
                        .security = text("security"),
                        .user = text("user"),
                        .password = text("password"),
                        .from = text("from"),
                        .to = text("to"),
                        .notifyUsers = text("notify_users"),
                        .maxMails = text("max_mails"),
                        .webUrl = text("web_url")};
        if (s.size() == 3 && request.method == "PUT")
            return answered(mailAct(caller, entry, false));
        if (s.size() == 4 && s[3] == "test" && isPost(request))
            return answered(mailAct(caller, entry, true));
    }
    if (route == "errors" && s.size() == 3 && s[2] == "clear" && isPost(request))
        return answered(settingAct(caller, "clear errors", "UserLog",
                                   [](ConsoleSettings& c) { return c.clearErrors(); }));
    if (route == "summary" && s.size() == 2 && reading) {
        store::Connection db = store::openMng(base_);
        const AgentCounts counts = countAgents(db);
        pages::JsonWriter out;
        out.beginObject();
        out.key("agents");
        out.beginObject();
        out.key("total"), out.integer(counts.total);
        out.key("ok"), out.integer(counts.ok);
        out.key("with_codes"), out.integer(counts.withCodes);
        out.key("stale"), out.integer(counts.stale);
        out.key("unreachable"), out.integer(counts.unreachable);
        out.endObject();
        out.key("requests_pending"), out.integer(counts.requestsPending);
        out.key("passes");
        out.beginObject();
        for (const PassRecord& pass : passesNow()) {
            out.key(pass.kind);
            out.beginObject();
            out.key("last_duration_seconds"), out.numberOrNull(pass.lastDurationSeconds);
            out.key("last_success"), out.stringOrNull(pass.lastSuccess);
            out.endObject();
        }
        out.endObject();
        out.endObject();
        return json(200, out.text());
    }
    if (route == "audit" && s.size() == 2 && reading) {
        if (!caller.isAdmin()) return jsonError(403, "the audit record is for admins");
        store::Connection db = store::openMng(base_);
        return jsonArray(store::recentAudit(db, limitOf(request.target)),
                         [](auto& out, const auto& e) {
                             put(out, "time", e.time);
                             put(out, "user", e.user);
                             put(out, "address", e.address);
                             put(out, "action", e.action);
                             put(out, "object", e.object);
                             put(out, "outcome", e.outcome);
                         });
    }
    return jsonError(404, "no such route");
}

}  // namespace plenvo::web
