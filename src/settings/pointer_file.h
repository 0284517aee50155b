#pragma once

#include <string>

namespace plenvo::settings {

// Puts SRV.ini into a monitored destination: the one line "SVShareFol=" and the
// console's shared folder, so whoever reads the destination finds the console.
// The old file is replaced whole. True when the file exists afterwards.
bool writePointerFile(const std::string& destination, const std::string& serverShareFolder);

}  // namespace plenvo::settings
