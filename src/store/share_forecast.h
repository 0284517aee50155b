#pragma once

#include <optional>
#include <vector>

#include "platform/core/clock.h"
#include "store/history.h"

namespace plenvo::store {

// When a share fills up, as its surveys point: days from now until it is full
// and until it is 85 % full (code "07"); 0 when it is already there.
struct ShareForecast {
    std::optional<double> daysUntilFull;
    std::optional<double> daysUntil07;
};

// How far back the forecast looks.
inline constexpr int kForecastDays = 30;

// A straight line through the used bytes of the surveys (least squares).
// Unknown while the points lie on fewer than 3 days or the share is not
// growing; the size is the latest survey's.
ShareForecast forecastShare(const std::vector<SharePoint>& points, const platform::LocalTime& now);

}  // namespace plenvo::store
