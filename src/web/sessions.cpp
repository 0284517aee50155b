#include "web/sessions.h"

#include <algorithm>

#include "platform/core/base64.h"
#include "platform/core/random_bytes.h"
#include "web/cookies.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kSessionTokenBytes = 32;
constexpr std::size_t kSessionIdLength = 43;  // 32 bytes in unpadded base64url
constexpr std::size_t kSessionKeyLength = kSessionIdLength / 2;

// Unpadded base64url: safe in a cookie and in a form field as it is.
std::string randomSessionToken() {
    std::string text = platform::base64Encoded(platform::randomBytes(kSessionTokenBytes));
    while (!text.empty() && text.back() == '=') text.pop_back();
    std::replace(text.begin(), text.end(), '+', '-');
    std::replace(text.begin(), text.end(), '/', '_');
    return text;
}

}  // namespace

Sessions::Sessions(std::chrono::seconds lifetime, std::size_t most)
    : lifetime_(lifetime), most_(std::max<std::size_t>(most, 1)) {}

Session Sessions::start(const SignedIn& who, TimePoint now) {
    Session session{randomSessionToken(), randomSessionToken(), who, now};
    const std::lock_guard lock(mutex_);
    // Expired sessions go first, so that the bound ends only live ones.
    while (!byStart_.empty() && now - byStart_.begin()->first >= lifetime_)
        endLocked(byStart_.begin()->second);
    while (byKey_.size() >= most_) endLocked(byStart_.begin()->second);
    // Two ids sharing their first 126 bits never happens; should it, draw again.
    while (byKey_.contains(session.id.substr(0, kSessionKeyLength)))
        session.id = randomSessionToken();
    const std::string key = session.id.substr(0, kSessionKeyLength);
    byStart_.emplace(now, key);
    byKey_.emplace(key, session);
    return session;
}

std::optional<Session> Sessions::find(std::string_view id, TimePoint now) {
    if (id.size() != kSessionIdLength) return std::nullopt;
    const std::lock_guard lock(mutex_);
    const auto found = byKey_.find(id.substr(0, kSessionKeyLength));
    if (found == byKey_.end() || !sameSecret(found->second.id, id)) return std::nullopt;
    if (now - found->second.started >= lifetime_) {
        endLocked(found->first);
        return std::nullopt;
    }
    return found->second;
}

void Sessions::end(std::string_view id) {
    if (id.size() != kSessionIdLength) return;
    const std::lock_guard lock(mutex_);
    const auto found = byKey_.find(id.substr(0, kSessionKeyLength));
    if (found != byKey_.end() && sameSecret(found->second.id, id)) endLocked(found->first);
}

void Sessions::endAllOf(std::string_view user) {
    const std::lock_guard lock(mutex_);
    for (auto it = byStart_.begin(); it != byStart_.end();) {
        const auto session = byKey_.find(it->second);
        if (session->second.who.user == user) {
            byKey_.erase(session);
            it = byStart_.erase(it);
        } else {
            ++it;
        }
    }
}

void Sessions::endLocked(std::string_view key) {
    const auto session = byKey_.find(key);
    if (session == byKey_.end()) return;
    // The key may be a view into either map's entry: erase by copies.
    const std::string k(key);
    auto [first, last] = byStart_.equal_range(session->second.started);
    for (auto it = first; it != last; ++it) {
        if (it->second == k) {
            byStart_.erase(it);
            break;
        }
    }
    byKey_.erase(k);
}

}  // namespace plenvo::web
