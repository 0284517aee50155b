#pragma once

#include <compare>

namespace plenvo::platform {

// A wall-clock time in the machine's local time zone.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    auto operator<=>(const LocalTime&) const = default;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    LocalTime now() const override;
};

}  // namespace plenvo::platform
