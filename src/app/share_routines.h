#pragma once

#include <string>

#include "platform/core/failure_log.h"
#include "platform/network/network_share.h"

namespace plenvo::app {

// Shares the folder as "OrvShare$". A share of that name for another folder
// is left as it is and told, as is a share that could not be made.
void shareBaseFolder(std::string path, const std::string& computerName,
                     platform::ShareService& shares, platform::FailureLog& failures);

}  // namespace plenvo::app
