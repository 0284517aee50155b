#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plenvo::app {

// The console as the administrator sees it: the icon in the notification area,
// its menu and windows, until "終了" or the session's end. Failures of the steps
// are not told: only the windows' own messages are shown. Returns nullopt,
// before anything of the start-up ran, when no shell takes the icon.
std::optional<int> runTrayConsole(const std::filesystem::path& base, const std::string& version,
                                  int tickMs);

}  // namespace plenvo::app
