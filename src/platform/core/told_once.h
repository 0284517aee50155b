#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_set>

namespace plenvo::platform {

// The things a failure was told of already, so that the same failure of the
// same thing is told once rather than at every request or pass. Holds at most
// `limit` keys; past that, nothing new is told, so that memory stays bounded
// whatever agents and clients send. Safe to use from several threads.
class ToldOnce {
  public:
    explicit ToldOnce(std::size_t limit = 100000) : limit_(limit) {}

    // True the first time `key` is given.
    bool first(const std::string& key) {
        const std::lock_guard lock(mutex_);
        if (told_.size() >= limit_) return false;
        return told_.insert(key).second;
    }

  private:
    const std::size_t limit_;
    std::mutex mutex_;
    std::unordered_set<std::string> told_;
};

}  // namespace plenvo::platform
