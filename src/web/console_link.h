#pragma once

#include <functional>
#include <shared_mutex>

#include "platform/core/run_context.h"

namespace plenvo::web {

// The running console as the web view's actions reach it: its context (the
// write turns the windows and the passes take, its clock) from the moment the
// console has one until it ends. The view starts before the console and may
// answer a little after it; actions then find no console.
class ConsoleLink {
  public:
    void attach(const platform::RunContext& ctx) {
        std::unique_lock lock(mutex_);
        ctx_ = &ctx;
    }
    // Waits for the actions under way.
    void detach() {
        std::unique_lock lock(mutex_);
        ctx_ = nullptr;
    }
    // Runs `work` with the console's context; false when there is no console.
    bool with(const std::function<void(const platform::RunContext&)>& work) const {
        std::shared_lock lock(mutex_);
        if (!ctx_) return false;
        work(*ctx_);
        return true;
    }

  private:
    mutable std::shared_mutex mutex_;
    const platform::RunContext* ctx_ = nullptr;
};

}  // namespace plenvo::web
