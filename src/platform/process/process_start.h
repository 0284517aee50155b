#pragma once

#include <string>
#include <vector>

namespace plenvo::platform {

// First thing in main, before any thread starts: how the process meets the
// system for the rest of its life.
void prepareProcess();

// The words given after the program's name, in UTF-8 whatever the system's
// code page; main's own argv is only where the system has nothing better.
std::vector<std::string> commandLineArguments(int argc, char** argv);

}  // namespace plenvo::platform
