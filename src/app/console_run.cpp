#include "app/console_run.h"

#include <iostream>

#include "platform/utf8_path.h"

namespace plenvo::app {

HeadlessRun::HeadlessRun(const ConsoleRun& run)
    : ctx{platform::BaseFolder(run.base), clock, failures, ending.get_token()},
      animation(run.version) {
    std::cerr << "PlenvoBackupMng: running headless (no tray icon) for "
              << platform::utf8Of(run.base) << "\n";
}

}  // namespace plenvo::app
