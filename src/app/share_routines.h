#pragma once

#include <string>

#include "platform/network/network_share.h"

namespace plenvo::app {

// Shares the folder as "OrvShare$"; always returns 0.
int shareBaseFolder(std::string path, const std::string& computerName,
                    platform::ShareService& shares);

}  // namespace plenvo::app
