#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/console_run.h"

namespace plenvo::app {

// The tray console on plain Win32 (see runTrayConsole): the shell's icon, the
// window thread's own loop, until "終了" or the session's end.
std::optional<int> runWin32TrayConsole(const ConsoleRun& run);

}  // namespace plenvo::app
