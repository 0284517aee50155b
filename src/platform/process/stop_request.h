#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace plenvo::platform {

// Watches, for as long as it lives, for the system asking the console to end:
// an interrupt or a termination request, a closed console, a logoff or a
// shutdown, or an installer (endConsolesOf). `onStop` runs on a thread of the
// watch's own, never inside a signal handler; requests close together may be
// told once. One watch at a time.
class StopRequestWatch {
  public:
    explicit StopRequestWatch(std::function<void()> onStop);
    ~StopRequestWatch();
    StopRequestWatch(StopRequestWatch&&) noexcept;
    StopRequestWatch& operator=(StopRequestWatch&&) noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Asks the consoles that run `program` to end, as an installer must before it
// replaces or removes the program, and waits up to `limit` for them to be
// gone. Windows sets the stop event that every console of this session
// watches (a console of another copy ends as well); Linux sends each SIGTERM.
// Returns how many processes besides this one still run `program` then.
int endConsolesOf(const std::filesystem::path& program, std::chrono::milliseconds limit);

}  // namespace plenvo::platform
