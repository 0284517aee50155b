#pragma once

#include <string>

#include "app/startup_values.h"

namespace plenvo::app {

// The environment values of the start-up: computer name, profile, working
// folder and the two start-up folders.
StartupValues collectStartupValues(const std::string& version);

}  // namespace plenvo::app
