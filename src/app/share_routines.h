#pragma once

#include <string>

namespace plenvo::app {

// Shares the folder as "OrvShare$"; always returns 0.
int ShareAdd(std::string path, const std::string& computerName);

}  // namespace plenvo::app
