#include "store/share_forecast.h"

#include <algorithm>
#include <set>

#include "store/date_time.h"

namespace plenvo::store {
namespace {

constexpr double kCode07Share = 0.85;
constexpr std::size_t kFewestDays = 3;

}  // namespace

ShareForecast forecastShare(const std::vector<SharePoint>& points, const platform::LocalTime& now) {
    std::set<long> days;
    for (const auto& p : points) days.insert(static_cast<long>(daysSinceEpoch(p.at)));
    if (days.size() < kFewestDays) return {};

    // Centred on the means, so that day numbers in the ten thousands lose nothing.
    const double n = static_cast<double>(points.size());
    double meanT = 0, meanUsed = 0;
    for (const auto& p : points) {
        meanT += daysSinceEpoch(p.at) / n;
        meanUsed += (p.size - p.free) / n;
    }
    double covariance = 0, variance = 0;
    for (const auto& p : points) {
        const double dt = daysSinceEpoch(p.at) - meanT;
        covariance += dt * (p.size - p.free - meanUsed);
        variance += dt * dt;
    }
    if (variance <= 0) return {};
    const double perDay = covariance / variance;
    if (perDay <= 0) return {};

    const double size = points.back().size;
    const double today = daysSinceEpoch(now);
    const auto daysUntil = [&](double used) {
        return std::max(0.0, meanT + (used - meanUsed) / perDay - today);
    };
    return {daysUntil(size), daysUntil(kCode07Share * size)};
}

}  // namespace plenvo::store
