#pragma once

#include <mutex>
#include <stop_token>

#include "platform/core/clock.h"
#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"

namespace plenvo::platform {

// What every routine of the console is handed: where the installation lies,
// what time it is, and where skipped failures are told.
struct RunContext {
    BaseFolder base;
    const Clock& clock;
    FailureLog& failures;
    // Set when the console is ending: a pass stops after the file or row at hand.
    std::stop_token stopping{};
    // The passes and the windows write the console's database in turns, each turn short.
    mutable std::mutex writeTurns{};

    bool stopRequested() const { return stopping.stop_requested(); }
};

}  // namespace plenvo::platform
