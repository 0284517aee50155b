#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/console_run.h"

namespace plenvo::app {

// Whether the desktop has a notification area; asked of a running QApplication.
bool systemTrayAvailable();

// The tray console on the running QApplication (see runTrayConsole).
std::optional<int> runQtTrayConsole(const ConsoleRun& run);

}  // namespace plenvo::app
