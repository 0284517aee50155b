#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "web/signed_in.h"

namespace plenvo::web {

// A browser signed in: the id its cookie carries, the token its forms must
// send back, who it is and when it signed in.
struct Session {
    std::string id;
    std::string csrf;
    SignedIn who;
    std::chrono::steady_clock::time_point started;
};

// The sessions open now, safe to use from every thread of the server.
class Sessions {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Each session lasts `lifetime` from its start; at most `most` are open.
    explicit Sessions(std::chrono::seconds lifetime = std::chrono::hours(8),
                      std::size_t most = 1000);

    // A new session for `who`, its id and token 32 random bytes each as
    // unpadded base64url. With `most` open, the oldest is ended first. Throws
    // std::system_error when the system gives no random bytes.
    Session start(const SignedIn& who, TimePoint now);
    // The session with this id, unless it has expired (then it is ended).
    std::optional<Session> find(std::string_view id, TimePoint now);
    void end(std::string_view id);
    // Ends every session of `user`, one taken out of the users file.
    void endAllOf(std::string_view user);

    std::chrono::seconds lifetime() const { return lifetime_; }

  private:
    void endLocked(std::string_view key);

    const std::chrono::seconds lifetime_;
    const std::size_t most_;
    std::mutex mutex_;
    // Keyed by the first half of the id, the whole id then compared in
    // constant time: a lookup's timing may tell a guesser about that half,
    // never about the rest.
    std::map<std::string, Session, std::less<>> byKey_;
    std::multimap<TimePoint, std::string> byStart_;  // keys, oldest first
};

}  // namespace plenvo::web
