#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/beside_console.h"
#include "app/console.h"
#include "app/console_run.h"
#include "app/icon_animation.h"
#include "app/pass_worker.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/slow_work.h"

namespace plenvo::app {

class TrayMenu;

// What became of an icon put into the notification area.
enum class IconShown {
    yes,
    notYet,  // no notification area now; one may appear (the desktop still starting)
    never,   // none can ever take it here
};

// What a toolkit gives the tray console: its windows, its loop with the
// timers, and the icon in the notification area.
class TrayToolkit {
  public:
    virtual ~TrayToolkit() = default;
    virtual ui::Dialogs& dialogs() = 0;
    virtual ui::WindowHost& windows() = 0;
    virtual ui::SlowWork& slowWork() = 0;
    // Passes on the worker, prompts back on the window thread.
    virtual WorkPlaces workPlacesOn(PassWorker& worker) = 0;
    // The timers tick for the console from now on, handled once the loop runs.
    virtual void startTimers(Console& console) = 0;
    virtual void setTimer1Enabled(bool on) = 0;
    // Shows the icon with its menu, where a notification area takes it.
    virtual IconShown showIcon(IconAnimation& animation, TrayMenu& menu) = 0;
    virtual void removeIcon() = 0;
    // A balloon at the icon that tells of a problem, shown once the icon is.
    virtual void showBalloon(const std::string& title, const std::string& text) {
        (void)title;
        (void)text;
    }
    // Ends the loop; may be called from any thread.
    virtual void quit() = 0;
    // Runs the loop until quit; the exit code.
    virtual int run(Console& console) = 0;
    // `ending` runs when the system ends the session, before the process may be ended.
    virtual void onSessionEnd(std::function<void()> ending) { (void)ending; }
    // Lets go of the icon and the timers before the console's parts they use go.
    virtual void letGo() = 0;
};

// The console as the administrator sees it, the same on every toolkit: the
// icon, its menu and windows, until "終了", a stop request or the session's
// end. Failures of the steps are not told: only the windows' own messages are
// shown, and the start-up's notices as one balloon. Without a notification area at the start the
// console runs and shows its icon once one appears. nullopt, before anything of the start-up ran,
// when no notification area can ever take the icon.
std::optional<int> runTrayConsole(const ConsoleRun& run, TrayToolkit& toolkit);

}  // namespace plenvo::app
