#pragma once

#include "platform/core/run_context.h"
#include "store/monitoring_flag.h"

namespace plenvo::removable {

// Writes \OrvShare\REM\RM from RemList while monitoring is on; removes it while off.
// Takes the write turn: the caller must not hold it.
void writeAllowList(const platform::RunContext& ctx, const store::MonitoringFlag& flag);

// At start-up: an empty RemList is restored from the allow-list file, and a
// missing Setting row is added with monitoring on.
void restoreRegisteredMedia(const platform::RunContext& ctx);

}  // namespace plenvo::removable
