#include "pages/epoch_time.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

namespace plenvo::pages {
namespace {

// The wall-clock fields read as if they were UTC.
std::int64_t fieldsAsUtc(const platform::LocalTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / t.month / t.day};
    return std::int64_t{day.time_since_epoch().count()} * 86400 + t.hour * 3600 + t.minute * 60 +
           t.second;
}

}  // namespace

namespace {

std::optional<std::int64_t> placedByLibrary(const platform::LocalTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    // Whether summer time applies is the time zone's to say.
    tm.tm_isdst = -1;
    const std::time_t placed = std::mktime(&tm);
    if (placed == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(placed);
}

}  // namespace

std::optional<std::int64_t> epochSeconds(const platform::LocalTime& t) {
    return placedByLibrary(t);
}

std::optional<std::int64_t> TimePlaces::epochSeconds(const platform::LocalTime& t) {
    const std::int64_t asUtc = fieldsAsUtc(t);
    const std::int64_t minute = (asUtc - t.second) / 60;
    auto found = offsetOfMinute_.find(minute);
    if (found == offsetOfMinute_.end()) {
        if (offsetOfMinute_.size() >= 65536) offsetOfMinute_.clear();
        platform::LocalTime start = t;
        start.second = 0;
        const auto placed = placedByLibrary(start);
        found = offsetOfMinute_
                    .emplace(minute, placed ? std::optional(minute * 60 - *placed) : std::nullopt)
                    .first;
    }
    if (!found->second) return std::nullopt;
    return asUtc - *found->second;
}

std::optional<std::string> isoText(const platform::LocalTime& t) {
    return TimePlaces().isoText(t);
}

std::optional<std::string> TimePlaces::isoText(const platform::LocalTime& t) {
    const auto placed = epochSeconds(t);
    if (!placed) return std::nullopt;
    const std::int64_t offset = fieldsAsUtc(t) - *placed;
    // Offsets lie within a day; anything else is no time this machine can show.
    if (std::llabs(offset) >= 86400) return std::nullopt;
    const long long minutes = std::llabs(offset) / 60;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(buffer);
}

}  // namespace plenvo::pages
