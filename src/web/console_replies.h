#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "pages/json_writer.h"
#include "removable/media_actions.h"
#include "web/form_fields.h"
#include "web/http/http_request.h"
#include "web/http/http_response.h"

// The small answers and request checks every page of the web console uses.
namespace plenvo::web::reply {

inline constexpr const char* kConsoleHtmlType = "text/html; charset=utf-8";
inline constexpr const char* kJsonType = "application/json; charset=utf-8";
inline constexpr std::size_t kFieldLength = removable::kMediaFieldChars;
inline constexpr std::size_t kAuditShown = 200;

using Clock = std::chrono::steady_clock;

inline HttpResponse typed(int status, const char* contentType, std::string body) {
    HttpResponse response;
    response.status = status;
    response.contentType = contentType;
    response.body = std::move(body);
    return response;
}

inline HttpResponse html(int status, std::string body) {
    return typed(status, kConsoleHtmlType, std::move(body));
}

inline HttpResponse json(int status, std::string body) {
    return typed(status, kJsonType, std::move(body));
}

inline HttpResponse jsonError(int status, std::string_view why) {
    return json(status, "{\"error\": " + pages::jsonString(why) + "}\n");
}

inline HttpResponse seeOther(std::string_view where) {
    HttpResponse response = HttpResponse::text(303, "see " + std::string(where));
    response.headers.emplace_back("Location", std::string(where));
    return response;
}

inline bool isPost(const HttpRequest& request) {
    return request.method == "POST";
}

inline bool contentTypeIs(const HttpRequest& request, std::string_view type) {
    const auto given = request.header("content-type");
    if (!given) return false;
    const std::string_view value = *given;
    return value.substr(0, value.find(';')) == type;
}

inline std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

// The fields of the target's query ("?serial=1111"); none for a bad one.
inline std::map<std::string, std::string> queryFields(std::string_view target) {
    const auto at = target.find('?');
    return formFields(at == std::string_view::npos ? "" : target.substr(at + 1))
        .value_or(std::map<std::string, std::string>{});
}

inline std::optional<std::string> field(const std::map<std::string, std::string>& fields,
                                        const std::string& name) {
    const auto found = fields.find(name);
    if (found == fields.end()) return std::nullopt;
    return found->second;
}

inline const char* actionName(const std::string& action) {
    if (action == "approve") return "許可";
    if (action == "deny") return "否認";
    if (action == "change") return "変更";
    return "削除";
}

inline bool knownAction(const std::string& action) {
    return action == "approve" || action == "deny" || action == "change" || action == "delete";
}

}  // namespace plenvo::web::reply
