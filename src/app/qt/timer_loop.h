#pragma once

#include <stop_token>

#include "app/console.h"
#include "app/pass_worker.h"

class QObject;

namespace plenvo::app {

// Drives the three timers of the main window on the running Qt event loop;
// a failure inside a tick is told and never ends the console.
class TimerLoop {
  public:
    TimerLoop(Console& management, int intervalMs);
    ~TimerLoop();
    TimerLoop(const TimerLoop&) = delete;
    TimerLoop& operator=(const TimerLoop&) = delete;

    // The tray menu holds the import off while it is open.
    void setTimer1Enabled(bool enabled);
    bool timer1Enabled() const;

  private:
    struct Timers;
    Timers* timers_;
};

// The passes on `worker`, the prompts back on the running Qt event loop.
WorkPlaces workPlacesOn(PassWorker& worker);

}  // namespace plenvo::app
