#include "web/sign_in_throttle.h"

#include <algorithm>

namespace plenvo::web {
namespace {

constexpr std::chrono::minutes kThrottleWindow(1);

}  // namespace

SignInThrottle::SignInThrottle(std::size_t perMinute, std::size_t addresses)
    : perMinute_(std::max<std::size_t>(perMinute, 1)),
      addresses_(std::max<std::size_t>(addresses, 1)) {}

void SignInThrottle::forgetOld(Failures& failures, TimePoint now) const {
    auto& times = failures.times;
    times.erase(times.begin(), std::find_if(times.begin(), times.end(), [&](TimePoint t) {
                    return now - t < kThrottleWindow;
                }));
}

bool SignInThrottle::allows(std::string_view address, TimePoint now) {
    return retryAfter(address, now) == std::chrono::seconds(0);
}

void SignInThrottle::failed(std::string_view address, TimePoint now) {
    const std::lock_guard lock(mutex_);
    auto found = byAddress_.find(address);
    if (found == byAddress_.end()) {
        if (byAddress_.size() >= addresses_) {
            byAddress_.erase(recency_.front());
            recency_.pop_front();
        }
        recency_.emplace_back(address);
        found =
            byAddress_.emplace(std::string(address), Failures{{}, std::prev(recency_.end())}).first;
    } else {
        recency_.splice(recency_.end(), recency_, found->second.recency);
    }
    auto& times = found->second.times;
    times.push_back(now);
    // Only the latest `perMinute_` can hold an address back.
    if (times.size() > perMinute_) times.erase(times.begin());
}

void SignInThrottle::succeeded(std::string_view address) {
    const std::lock_guard lock(mutex_);
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end()) return;
    recency_.erase(found->second.recency);
    byAddress_.erase(found);
}

std::chrono::seconds SignInThrottle::retryAfter(std::string_view address, TimePoint now) {
    const std::lock_guard lock(mutex_);
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end()) return std::chrono::seconds(0);
    forgetOld(found->second, now);
    const auto& times = found->second.times;
    if (times.size() < perMinute_) return std::chrono::seconds(0);
    const auto wait = times.front() + kThrottleWindow - now;
    return std::chrono::ceil<std::chrono::seconds>(wait);
}

}  // namespace plenvo::web
