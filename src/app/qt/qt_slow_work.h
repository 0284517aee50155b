#pragma once

#include "ui/slow_work.h"

namespace plenvo::app {

// Runs the work on a thread of its own while the Qt event loop goes on: the
// windows keep drawing and the timers ticking. The window in front takes no
// input meanwhile, so its button cannot start the same work twice.
class QtSlowWork final : public ui::SlowWork {
  public:
    void run(const std::function<void()>& work) override;
};

}  // namespace plenvo::app
