#pragma once

#include "platform/run_context.h"

namespace plenvo::intake {

// Adds and withdraws codes "15" (no report for 7 days) and "08" (destination
// folder missing) on every UserLog row.
void BkdtChk(const platform::RunContext& ctx);

}  // namespace plenvo::intake
