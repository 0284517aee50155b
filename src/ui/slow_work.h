#pragma once

#include <functional>

namespace plenvo::ui {

// Runs work that may wait on the network away from the window thread and
// returns when it is done; the windows keep drawing meanwhile. Without a window
// system (a single run, tests) the work simply runs at once.
class SlowWork {
  public:
    virtual ~SlowWork() = default;
    virtual void run(const std::function<void()>& work) { work(); }
};

}  // namespace plenvo::ui
