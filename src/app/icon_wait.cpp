#include "app/icon_wait.h"

#include <condition_variable>
#include <mutex>

#include "platform/core/journal_line.h"

namespace plenvo::app {

IconWait::IconWait(Poster onWindowThread, std::function<bool()> tryShow,
                   std::chrono::milliseconds every, std::chrono::milliseconds atMost)
    : state_(std::make_shared<State>()) {
    state_->tryShow = std::move(tryShow);
    platform::tellLine(platform::LinePriority::info,
                       "PlenvoBackupMng: no notification area yet; the console runs and shows "
                       "its tray icon as soon as one appears");
    trying_ = std::jthread([state = state_, post = std::move(onWindowThread), every,
                            atMost](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        const auto until = std::chrono::steady_clock::now() + atMost;
        while (!state->shown && std::chrono::steady_clock::now() < until) {
            std::unique_lock lock(mutex);
            if (wake.wait_for(lock, stop, every, [] { return false; }) || stop.stop_requested())
                return;
            post([state] {
                if (!state->alive || state->shown || !state->tryShow()) return;
                state->shown = true;
                platform::tellLine(platform::LinePriority::info,
                                   "PlenvoBackupMng: a notification area appeared; the tray "
                                   "icon is shown");
            });
        }
        if (!state->shown)
            post([state] {
                if (state->alive && !state->shown)
                    platform::tellLine(platform::LinePriority::warning,
                                       "PlenvoBackupMng: no notification area appeared in time; "
                                       "the console goes on without a tray icon");
            });
    });
}

IconWait::~IconWait() {
    state_->alive = false;
}

}  // namespace plenvo::app
