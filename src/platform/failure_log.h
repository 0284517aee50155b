#pragma once

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

}  // namespace plenvo::platform
