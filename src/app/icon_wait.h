#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace plenvo::app {

// Shows the tray icon once a notification area appears: a console started at
// log-on races the desktop's tray. Tries every `every` on the window thread
// for at most `atMost`, and says how it ended; the console works meanwhile.
class IconWait {
  public:
    using Poster = std::function<void(std::function<void()>)>;

    // `tryShow` runs on the window thread, which `onWindowThread` posts to.
    IconWait(Poster onWindowThread, std::function<bool()> tryShow,
             std::chrono::milliseconds every = std::chrono::seconds(5),
             std::chrono::milliseconds atMost = std::chrono::minutes(5));
    // On the window thread: no try runs after it.
    ~IconWait();
    IconWait(const IconWait&) = delete;
    IconWait& operator=(const IconWait&) = delete;

  private:
    struct State {
        bool alive = true;  // window thread only
        std::atomic<bool> shown = false;
        std::function<bool()> tryShow;
    };
    std::shared_ptr<State> state_;
    std::jthread trying_;
};

}  // namespace plenvo::app
