#pragma once

#include "intake/work_animation.h"
#include "platform/run_context.h"

namespace plenvo::intake {

// Brings UserLog up to date from every result file in \OrvShare\RST: one row
// per host and user, the agent's error codes merged into the row's list.
// A failing file or row is skipped and told to the failure log; the others
// are written. All rows of one pass are committed together.
void MdbUpdt(const platform::RunContext& ctx, WorkAnimation& animation);

}  // namespace plenvo::intake
