#pragma once

#include <string>

namespace plenvo::app {

// Values taken once at start-up and read by the whole program afterwards.
struct StartupValues {
    std::string version;  // "1.0.4"
    std::string computerName;
    std::string userProfileFolder;
    std::string workingFolder;  // from TEMP
    std::string startupFolder;  // the user's
    std::string allUsersStartupFolder;
    std::string serverShareFolder;    // "\\" + computer name + "\OrvShare$"
    bool registersAutostart = false;  // the log-on entry is made or mended
    std::string program;              // the running program's file, which the entry starts
    std::string installerShare;       // the folder the installer shared as OrvShare$, if any
};

}  // namespace plenvo::app
