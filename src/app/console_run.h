#pragma once

#include <filesystem>
#include <stop_token>
#include <string>

#include "app/beside_console.h"
#include "app/icon_animation.h"
#include "platform/core/clock.h"
#include "platform/core/failure_log.h"
#include "platform/core/run_context.h"

namespace plenvo::app {

// How the console runs until it is told to end.
struct ConsoleRun {
    std::filesystem::path base;
    std::string version;
    int tickMs = 60000;
    bool headless = false;  // no tray icon even where there is a desktop
    // A real start, from where the program lies: the tray console then keeps
    // the log-on entry pointing at it. Trial runs elsewhere leave it alone.
    bool registersAutostart = false;
    int argc = 0;
    char** argv = nullptr;
    BesideConsole beside{};
    ServedAddress webAddress{};
};

// What a headless run holds for its whole life: failures go to standard error.
struct HeadlessRun {
    // Says on standard error that the console runs without a tray icon.
    explicit HeadlessRun(const ConsoleRun& run);

    platform::SystemClock clock;
    platform::StderrFailureLog told;
    // Thousands of agents' files failing alike every minute: each told once.
    platform::RepeatsCounted failures{told};
    std::stop_source ending;
    const platform::RunContext ctx;
    IconAnimation animation;
};

// Runs the console with its tray icon where the desktop has a notification
// area, else headless (failures to standard error, nobody asked anything).
// Returns the exit code. Each program has its own.
int runConsole(const ConsoleRun& run);

// Only a tray icon whose menu opens the pages served at `served`, for a
// desktop whose console runs as a service; the programs without one say so.
int runFront(const std::string& served, int argc, char** argv);

// Runs the console without a tray icon, its timers on a plain loop, until a
// stop request. Returns the exit code.
int runHeadless(const ConsoleRun& run);

}  // namespace plenvo::app
