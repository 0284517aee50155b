#pragma once

#include "platform/base_folder.h"
#include "platform/clock.h"
#include "platform/failure_log.h"

namespace plenvo::platform {

// What every routine of the console is handed: where the installation lies,
// what time it is, and where skipped failures are told.
struct RunContext {
    BaseFolder base;
    const Clock& clock;
    FailureLog& failures;
};

}  // namespace plenvo::platform
