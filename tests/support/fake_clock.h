#pragma once

#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/failure_log.h"

namespace plenvo::test {

// A clock that tests set.
class FakeClock final : public platform::Clock {
  public:
    explicit FakeClock(platform::LocalTime now = {2009, 10, 1, 9, 5, 3}) : now_(now) {}
    platform::LocalTime now() const override { return now_; }
    void set(platform::LocalTime t) { now_ = t; }

  private:
    platform::LocalTime now_;
};

// Keeps what was reported, for tests that look at skipped failures.
class RecordingFailureLog final : public platform::FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        lines.push_back(std::string(topic) + ": " + std::string(what));
    }
    std::vector<std::string> lines;
};

}  // namespace plenvo::test
