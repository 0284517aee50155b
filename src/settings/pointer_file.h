#pragma once

#include <string>

#include "platform/bounded_access.h"

namespace plenvo::settings {

// Puts SRV.ini into a monitored destination: the one line "SVShareFol=" and the
// console's shared folder, so whoever reads the destination finds the console.
// The old file is replaced whole. True when the file exists afterwards; false
// also when the destination's network share did not answer in time.
bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::BoundedFileAccess& access);

}  // namespace plenvo::settings
