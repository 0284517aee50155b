#pragma once

#include "platform/core/run_context.h"

namespace plenvo::pages {

// Rewrites \HTM\DiskChk.htm from ShareDriveInfo.
void Mk_HTML2(const platform::RunContext& ctx);

}  // namespace plenvo::pages
