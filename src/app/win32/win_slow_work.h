#pragma once

#include "ui/slow_work.h"

namespace plenvo::app {

// Runs the work on a thread of its own while the window thread goes on
// dispatching messages: the windows keep drawing and the timers ticking. The
// window in front takes no input meanwhile, so its button cannot start the
// same work twice. A quit that comes meanwhile is handed on once the work is done.
class Win32SlowWork final : public ui::SlowWork {
  public:
    void run(const std::function<void()>& work) override;
};

}  // namespace plenvo::app
