#pragma once

#include <functional>
#include <memory>

namespace plenvo::platform {

// Watches, for as long as it lives, for the system asking the console to end:
// an interrupt or a termination request, a closed console, a logoff or a
// shutdown. `onStop` runs on a thread of the watch's own, never inside a signal
// handler; requests close together may be told once. One watch at a time.
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

}  // namespace plenvo::platform
