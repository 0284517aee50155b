#include <ctime>

#include "platform/core/clock.h"

namespace plenvo::platform {

LocalTime SystemClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace plenvo::platform
