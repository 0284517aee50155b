#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/beside_console.h"

namespace plenvo::app {

// Whether the desktop has a notification area; asked of a running QApplication.
bool systemTrayAvailable();

// The tray console on the running QApplication (see runTrayConsole).
std::optional<int> runQtTrayConsole(const std::filesystem::path& base, const std::string& version,
                                    int tickMs, const BesideConsole& beside,
                                    const ServedAddress& webAddress);

}  // namespace plenvo::app
