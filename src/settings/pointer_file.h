#pragma once

#include <string>

#include "platform/network/folder_reach.h"

namespace plenvo::settings {

// Puts SRV.ini into a monitored destination: the one line "SVShareFol=" and the
// console's shared folder, so whoever reads the destination finds the console.
// The old file is replaced whole. False when it could not be written, also when
// the destination's server did not answer in time.
bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::FolderReach& reach);

}  // namespace plenvo::settings
