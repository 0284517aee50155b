#pragma once

#include "platform/core/run_context.h"

namespace plenvo::pages {

// Rewrites \HTM\DiskChk.htm from ShareDriveInfo.
void writeShareDrivePage(const platform::RunContext& ctx);

}  // namespace plenvo::pages
