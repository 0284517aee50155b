#pragma once

#include "platform/core/run_context.h"
#include "platform/network/share_list.h"

namespace plenvo::intake {

// Adds and withdraws codes "15" (no report for 7 days) and "08" (destination
// folder missing) on every UserLog row. The folders are asked before anything
// is written, several servers at a time. `shares` lists a server's shares (a
// test can stand in for the network; empty: the servers themselves); `pass` is
// what the check pass has already learnt of the network, used instead.
void checkDestinations(const platform::RunContext& ctx,
                       const platform::ShareLookup::Source& shares = {},
                       platform::ShareLookup* pass = nullptr);

}  // namespace plenvo::intake
