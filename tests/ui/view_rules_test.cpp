#include "ui/view_rules.h"

#include <gtest/gtest.h>

namespace plenvo::ui {
namespace {

// The registered media window's client area.
constexpr Geometry kWide{0, 0, 14430, 9195};

TEST(FitToScreen, AWindowLargerThanTheWorkAreaShrinksWholeUntilItFits) {
    // 150 % on a 1280 x 1024 screen with a taskbar: 1443 pixels would not fit.
    const ScreenFit fit = fitToScreen(kWide, 144, 1280, 984, 16, 39);
    EXPECT_EQ(fit.dpi, 126);
    EXPECT_DOUBLE_EQ(fit.factor, 126.0 / 144);
    EXPECT_EQ(fit.client.width, 1262);
    EXPECT_LE(fit.client.height + 39, 984);
    // Too low rather than too wide: the height decides.
    const ScreenFit low = fitToScreen(kWide, 144, 4000, 700, 16, 39);
    EXPECT_EQ(low.dpi, (700 - 39) * 1440 / 9195);
    EXPECT_LE(low.client.height + 39, 700);
}

TEST(FitToScreen, AWindowThatFitsOrAWorkAreaThatTellsNothingLeavesItAsDesigned) {
    // Exactly as large as the room.
    const ScreenFit exact = fitToScreen(kWide, 96, 962 + 16, 613 + 39, 16, 39);
    EXPECT_EQ(exact.dpi, 96);
    EXPECT_DOUBLE_EQ(exact.factor, 1.0);
    EXPECT_EQ(exact.client.width, 962);
    EXPECT_EQ(fitToScreen(kWide, 96, 10, 10, 16, 39).dpi, 96);
    EXPECT_EQ(fitToScreen({0, 0, 0, 0}, 120, 800, 600, 16, 39).dpi, 120);
}

}  // namespace
}  // namespace plenvo::ui
