#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/core/clock.h"

namespace plenvo::store {

using platform::LocalTime;

// Dates are stored as "2009-10-01 09:05:03" so that ORDER BY sorts by time.
std::string storedText(const LocalTime& t);
std::optional<LocalTime> fromStoredText(std::string_view text);

// The system's general form: "2009/10/01 9:05:03"; a time of midnight shows the date alone.
std::string generalText(const LocalTime& t);
// A stored date shown in the general form; text that is no stored date is shown as it stands.
std::string generalTextOfStored(std::string_view stored);

// Reads the forms agents and administrators write: "2009/10/01 9:05:03",
// "2009-10-01 09:05:03", either without seconds, or a date alone.
std::optional<LocalTime> parseDateTime(std::string_view text);

// Whole days between the dates, counted as midnights passed.
long daysBetween(const LocalTime& from, const LocalTime& to);
// Minute boundaries passed between the two times.
long minutesBetween(const LocalTime& from, const LocalTime& to);
// The same time of day `days` days earlier.
LocalTime minusDays(const LocalTime& t, int days);
// Days since 1970-01-01 with the time as a fraction: for lines through times.
double daysSinceEpoch(const LocalTime& t);

}  // namespace plenvo::store
