#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace plenvo::platform {

// Held for the life of the console: a second console for the same base folder
// cannot take it. The lock file lies where no other user can make it first: the
// user's runtime folder, for root /run/lock, else the base folder itself.
class SingleInstanceGuard {
  public:
    virtual ~SingleInstanceGuard() = default;
};

// What acquiring gave: the guard, or why this console may not run, in plain
// words (another console runs for the folder; its lock file cannot be used).
struct SingleInstance {
    std::unique_ptr<SingleInstanceGuard> guard;
    std::string refusal;

    explicit operator bool() const { return guard != nullptr; }
    void reset() { guard.reset(); }
};

// The exit status of a console that may not run: service managers and
// scripts see that it did not start.
constexpr int kNotStartedStatus = 3;

SingleInstance acquireSingleInstance(const std::filesystem::path& baseFolder);

}  // namespace plenvo::platform
