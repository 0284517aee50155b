#pragma once

#include <filesystem>
#include <string>

namespace plenvo::app {

// How the console runs until it is told to end.
struct ConsoleRun {
    std::filesystem::path base;
    std::string version;
    int tickMs = 60000;
    bool headless = false;  // no tray icon even where there is a desktop
    int argc = 0;
    char** argv = nullptr;
};

// Runs the console with its tray icon where the desktop has a notification
// area, else headless (failures to standard error, nobody asked anything).
// Returns the exit code.
int runConsole(const ConsoleRun& run);

}  // namespace plenvo::app
