#pragma once

#include <stop_token>

#include "app/console.h"
#include "app/pass_worker.h"
#include "platform/process/stop_request.h"

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

// Quits the running Qt application when the system asks the console to end,
// for as long as the watch it gives lives; a request before the loop runs
// ends it as soon as it does.
platform::StopRequestWatch quitOnStopRequest();

}  // namespace plenvo::app
