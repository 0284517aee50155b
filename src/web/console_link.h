#pragma once

#include <functional>
#include <shared_mutex>

#include "platform/core/run_context.h"
#include "web/console_settings.h"

namespace plenvo::web {

// The running console as the web view's actions reach it: its context (the
// write turns the windows and the passes take, its clock) from the moment the
// console has one until it ends. The view starts before the console and may
// answer a little after it; actions then find no console.
class ConsoleLink {
  public:
    void attach(const platform::RunContext& ctx, ConsoleSettings* settings = nullptr) {
        std::unique_lock lock(mutex_);
        ctx_ = &ctx;
        settings_ = settings;
    }
    // Waits for the actions under way.
    void detach() {
        std::unique_lock lock(mutex_);
        ctx_ = nullptr;
        settings_ = nullptr;
    }
    // Runs `work` with the console's context and its settings (null where
    // the console keeps none for the view); false when there is no console.
    bool with(
        const std::function<void(const platform::RunContext&, ConsoleSettings*)>& work) const {
        std::shared_lock lock(mutex_);
        if (!ctx_) return false;
        work(*ctx_, settings_);
        return true;
    }

  private:
    mutable std::shared_mutex mutex_;
    const platform::RunContext* ctx_ = nullptr;
    ConsoleSettings* settings_ = nullptr;
};

}  // namespace plenvo::web
