#pragma once

#include "platform/run_context.h"
#include "platform/share_list.h"

namespace plenvo::intake {

// Adds and withdraws codes "15" (no report for 7 days) and "08" (destination
// folder missing) on every UserLog row. `shares` lists a server's shares; a
// test can stand in for the network.
void BkdtChk(const platform::RunContext& ctx,
             const platform::ShareLookup::Source& shares = platform::enumerateShares);

}  // namespace plenvo::intake
