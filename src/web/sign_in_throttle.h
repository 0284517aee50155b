#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::web {

// Slows password guessing: a client address that failed to sign in
// `perMinute` times within the last minute is refused until the oldest of
// those failures is a minute old. Safe to use from every thread of the server.
class SignInThrottle {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // At most `addresses` are remembered; beyond that the one whose last
    // failure is oldest is forgotten.
    explicit SignInThrottle(std::size_t perMinute = 5, std::size_t addresses = 10000);

    bool allows(std::string_view address, TimePoint now);
    void failed(std::string_view address, TimePoint now);
    void succeeded(std::string_view address);
    // How long until `address` may try again, rounded up; zero when it may now.
    std::chrono::seconds retryAfter(std::string_view address, TimePoint now);

  private:
    struct Failures {
        std::vector<TimePoint> times;  // the latest `perMinute_`, oldest first
        std::list<std::string>::iterator recency;
    };

    void forgetOld(Failures& failures, TimePoint now) const;

    const std::size_t perMinute_;
    const std::size_t addresses_;
    std::mutex mutex_;
    std::map<std::string, Failures, std::less<>> byAddress_;
    std::list<std::string> recency_;  // addresses by last failure, stalest first
};

}  // namespace plenvo::web
