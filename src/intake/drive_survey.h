#pragma once

#include "platform/run_context.h"

namespace plenvo::intake {

// Surveys the drives behind the destination shares into ShareDriveInfo and
// keeps code "07" on the UserLog rows.
void DskInfo(const platform::RunContext& ctx);

}  // namespace plenvo::intake
