#pragma once

#include <filesystem>
#include <string>

namespace plenvo::app {

// Whether the desktop has a notification area; asked of a running QApplication.
bool systemTrayAvailable();

// The console as the administrator sees it: the icon in the notification area,
// its menu and windows, on the running QApplication, until "終了". Failures of
// the steps are not told: only the windows' own messages are shown.
int runTrayConsole(const std::filesystem::path& base, const std::string& version, int tickMs);

}  // namespace plenvo::app
