#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/core/run_context.h"

namespace plenvo::app {

// The one thread the passes run on, so the window thread only draws and answers.
// Work runs in the order it was posted, one piece at a time, never two at once.
class PassWorker {
  public:
    PassWorker();
    // Stops taking work and waits for the piece at hand to end.
    ~PassWorker();
    PassWorker(const PassWorker&) = delete;
    PassWorker& operator=(const PassWorker&) = delete;

    void post(std::function<void()> work);
    // Drops what has not started and waits for the piece at hand to end.
    void finish();
    // The same, waiting at most `patience`: false when the piece at hand is
    // still running then (it may wait on a silent server).
    bool finish(std::chrono::milliseconds patience);
    // Whether nothing is queued or running (tests wait on it).
    bool idle() const;

  private:
    void run(const std::stop_token& stop);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable_any rested_;
    std::deque<std::function<void()>> queue_;
    bool busy_ = false;
    std::jthread thread_;  // last: starts once the members above exist
};

// The places of `places` with the mail's sender on `sender`.
template <typename Places>
Places withMailSender(Places places, PassWorker& sender) {
    places.mail = [&sender](std::function<void()> work) { sender.post(std::move(work)); };
    return places;
}

// Ends the console's passes when it ends: the pass at hand stops after its
// current file or row. One still waiting on a silent server after a second is
// left behind, once nothing is being written, by ending the process at once.
void endPasses(PassWorker& worker, std::stop_source& ending, const platform::RunContext& ctx,
               int exitCode);

}  // namespace plenvo::app
