#pragma once

#include <exception>
#include <string_view>

namespace plenvo::platform {

// Where skipped failures go: one line each on standard error when headless,
// nowhere in tray mode.
class FailureLog {
  public:
    virtual ~FailureLog() = default;
    virtual void report(std::string_view routine, std::string_view what) = 0;
};

class SilentFailureLog final : public FailureLog {
  public:
    void report(std::string_view, std::string_view) override {}
};

class StderrFailureLog final : public FailureLog {
  public:
    void report(std::string_view routine, std::string_view what) override;
};

// Runs an event procedure or a step to its end: a failure is told and goes no
// further, for nothing above could carry it and it must never end the console.
template <typename Work>
void guarded(FailureLog& failures, std::string_view routine, Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        failures.report(routine, e.what());
    } catch (...) {
        failures.report(routine, "unknown failure");
    }
}

}  // namespace plenvo::platform
