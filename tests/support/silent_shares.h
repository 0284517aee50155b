#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/network/share_list.h"

namespace plenvo::test {

// A network where every server is asked for its shares, waits `wait`, and never
// answers: what silent servers look like to a ShareLookup. Counts the answers
// and how many were waiting at once. Safe to outlive the test: the work that
// asks may run on after it.
class SilentShares {
  public:
    explicit SilentShares(std::chrono::milliseconds wait) : state_(std::make_shared<State>()) {
        state_->wait = wait;
    }

    platform::ShareLookup::Source source() const {
        return [state = state_](
                   const std::string&) -> std::optional<std::vector<platform::ShareEntry>> {
            {
                const std::lock_guard lock(state->mutex);
                state->mostAtOnce = std::max(state->mostAtOnce, ++state->waiting);
            }
            std::this_thread::sleep_for(state->wait);
            const std::lock_guard lock(state->mutex);
            --state->waiting;
            ++state->ended;
            return std::nullopt;
        };
    }

    int ended() const { return read(&State::ended); }
    int mostAtOnce() const { return read(&State::mostAtOnce); }

  private:
    struct State {
        std::chrono::milliseconds wait{};
        std::mutex mutex;
        int ended = 0, waiting = 0, mostAtOnce = 0;
    };
    int read(int State::*field) const {
        const std::lock_guard lock(state_->mutex);
        return (*state_).*field;
    }

    std::shared_ptr<State> state_;
};

}  // namespace plenvo::test
