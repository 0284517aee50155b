#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/console_run.h"

namespace plenvo::app {

// The tray console on the running QApplication (see runTrayConsole).
std::optional<int> runQtTrayConsole(const ConsoleRun& run);

}  // namespace plenvo::app
