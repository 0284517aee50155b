#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "app/console.h"
#include "app/pass_worker.h"

namespace plenvo::app {

// The window thread of a console with no window system to lean on: it ticks
// the three timers and runs the work the pass worker hands back, one piece at
// a time, until it is told to quit.
class PlainLoop {
  public:
    PlainLoop(std::chrono::milliseconds interval, platform::FailureLog& failures)
        : interval_(interval), failures_(failures) {}

    // From any thread.
    void post(std::function<void()> work);
    void quit(int exitCode = 0);

    // Runs on the calling thread until quit; returns the exit code given there.
    // A failure inside a tick or a posted piece is told and never ends the loop.
    int run(const std::function<void()>& tick);
    // Ticks the console's three timers.
    int run(Console& management);

    // The passes on `worker`, the prompts back on this loop.
    WorkPlaces workPlacesOn(PassWorker& worker);

  private:
    const std::chrono::milliseconds interval_;
    platform::FailureLog& failures_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    bool quitting_ = false;
    int exitCode_ = 0;
};

}  // namespace plenvo::app
