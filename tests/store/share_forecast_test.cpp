#include "store/share_forecast.h"

#include <gtest/gtest.h>

#include "store/date_time.h"

namespace plenvo::store {
namespace {

constexpr double kGB = 1e9;
const platform::LocalTime kNow{2010, 3, 10, 12, 0, 0};

// A survey every `hours` for `days` days up to now, the used bytes growing by `perDay`.
std::vector<SharePoint> surveys(int days, int hours, double usedNow, double perDay,
                                double size = 1000 * kGB) {
    std::vector<SharePoint> points;
    for (int h = days * 24; h >= 0; h -= hours) {
        platform::LocalTime at = minusDays(kNow, h / 24);
        at.hour -= h % 24;
        if (at.hour < 0) at.hour += 24, at = minusDays(at, 1);
        const double used = usedNow - perDay * h / 24.0;
        points.push_back({at, size, size - used});
    }
    return points;
}

TEST(ShareForecast, AGrowingShareFillsWhereItsLinePoints) {
    const auto f = forecastShare(surveys(10, 6, 500 * kGB, 10 * kGB), kNow);
    ASSERT_TRUE(f.daysUntilFull && f.daysUntil07);
    EXPECT_NEAR(*f.daysUntilFull, 50, 0.01);
    EXPECT_NEAR(*f.daysUntil07, 35, 0.01);
    // Past 85 % already: the code is due now.
    EXPECT_EQ(forecastShare(surveys(10, 6, 900 * kGB, 10 * kGB), kNow).daysUntil07, 0);
}

TEST(ShareForecast, UnknownWithoutThreeDaysOrGrowth) {
    EXPECT_FALSE(forecastShare({}, kNow).daysUntilFull);
    EXPECT_FALSE(forecastShare(surveys(1, 1, 500 * kGB, 10 * kGB), kNow).daysUntilFull)
        << "two days of points";
    EXPECT_TRUE(forecastShare(surveys(2, 12, 500 * kGB, 10 * kGB), kNow).daysUntilFull);
    for (const double perDay : {0.0, -10 * kGB})
        EXPECT_FALSE(forecastShare(surveys(10, 6, 500 * kGB, perDay), kNow).daysUntilFull)
            << perDay;
}

}  // namespace
}  // namespace plenvo::store
