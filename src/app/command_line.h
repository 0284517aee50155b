#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "web/web_options.h"

namespace plenvo::app {

struct Options {
    std::optional<std::filesystem::path> base;     // another base folder
    std::optional<std::filesystem::path> install;  // lay out an installation there
    // The Windows installer's steps, run as an administrator.
    std::optional<std::filesystem::path> installData;  // keep the data there
    bool makeShare = false;                            // share the data's OrvShare
    bool removeShare = false;                          // take that share away
    std::optional<std::filesystem::path> endConsoles;  // end the consoles of that folder's program
    bool once = false;                                 // start-up only, then end
    bool headless = false;                             // no tray icon
    int tickMs = 60000;
    std::optional<web::WebOptions> http;  // serve the web view while the console runs
    // Only a tray for the console a service runs, its pages served there.
    std::optional<std::string> front;
};

// Options, or the reason the words could not be read.
struct ParsedCommandLine {
    std::optional<Options> options;
    std::string error;
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);
std::string usageText();

}  // namespace plenvo::app
