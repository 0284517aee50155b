#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/core/clock.h"

namespace plenvo::pages {

// The console's times are local wall-clock times; monitoring tools want them placed.

// Seconds since 1970-01-01 UTC of a local time in this machine's time zone;
// nullopt for a time the C library cannot place.
std::optional<std::int64_t> epochSeconds(const platform::LocalTime& t);

// ISO 8601 with the local offset, "2009-10-01T09:05:03+09:00"; nullopt as above.
std::optional<std::string> isoText(const platform::LocalTime& t);

// The same for a writer that places thousands of times: mktime looks the zone
// up again at every call, and a zone's offset changes only on a minute, so
// each minute is asked of the C library once. One to a thread.
class TimePlaces {
  public:
    std::optional<std::int64_t> epochSeconds(const platform::LocalTime& t);
    std::optional<std::string> isoText(const platform::LocalTime& t);

  private:
    std::unordered_map<std::int64_t, std::optional<std::int64_t>> offsetOfMinute_;
};

}  // namespace plenvo::pages
