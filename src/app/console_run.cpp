#include "app/console_run.h"

#include "platform/core/journal_line.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

HeadlessRun::HeadlessRun(const ConsoleRun& run)
    : ctx{platform::BaseFolder(run.base), clock, failures, ending.get_token()},
      animation(run.version) {
    platform::tellLine(
        platform::LinePriority::info,
        "PlenvoBackupMng: running headless (no tray icon) for " + platform::utf8Of(run.base));
}

}  // namespace plenvo::app
