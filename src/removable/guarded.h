#pragma once

#include <exception>
#include <string_view>

#include "platform/failure_log.h"

namespace plenvo::removable {

// Runs a window's event procedure to its end: a failure is told and goes no
// further, for no view could carry it and it must never end the console.
template <typename Work>
void guarded(platform::FailureLog& failures, std::string_view routine, Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        failures.report(routine, e.what());
    } catch (...) {
        failures.report(routine, "unknown failure");
    }
}

}  // namespace plenvo::removable
