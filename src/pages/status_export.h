#pragma once

#include <span>

#include "pages/status_snapshot.h"
#include "platform/core/run_context.h"

namespace plenvo::pages {

// Writes \HTM\status.json and \HTM\metrics.prom for monitoring tools from
// UserLog, ShareDriveInfo and the passes' figures, each beside the old file and
// renamed over it. Written also when the tables are empty; when the database
// cannot be read the failure is told and the old files stay.
void writeStatusExports(const platform::RunContext& ctx, std::span<const PassFigures> passes);

}  // namespace plenvo::pages
