#include "core/charts/Gradient.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(GradientLineColor, FirstLineIsTheStartColour)
{
    EXPECT_EQ(GradientLineColor(Rgb(24, 64, 120), Rgb(255, 255, 255), 0, 100), Rgb(24, 64, 120));
    EXPECT_EQ(GradientLineColor(Rgb(24, 64, 120), Rgb(255, 255, 255), 0, 1), Rgb(24, 64, 120));
}

TEST(GradientLineColor, ChannelsMoveIndependently)
{
    // red 0 -> 200, green 100 -> 0, blue constant, over 4 lines
    const ColorRef from = Rgb(0, 100, 50), to = Rgb(200, 0, 50);
    EXPECT_EQ(GradientLineColor(from, to, 1, 4), Rgb(50, 75, 50));
    EXPECT_EQ(GradientLineColor(from, to, 3, 4), Rgb(150, 25, 50));
}

TEST(GradientLineColor, FallingChannelTruncatesTowardsZero)
{
    // 10 + (0 - 10) * 1 / 3 = 10 - 3 = 7 (flooring would give 6)
    EXPECT_EQ(RedOf(GradientLineColor(Rgb(10, 0, 0), Rgb(0, 0, 0), 1, 3)), 7);
    // 0 + 10 * 2 / 3 = 6
    EXPECT_EQ(RedOf(GradientLineColor(Rgb(0, 0, 0), Rgb(10, 0, 0), 2, 3)), 6);
}

TEST(GradientLineColor, LastLineStopsShortOfTheEndColour)
{
    EXPECT_EQ(GradientLineColor(Rgb(0, 0, 0), Rgb(255, 255, 255), 254, 255), Rgb(254, 254, 254));
}

TEST(GradientLineColor, ColourRefLayoutIsBlueGreenRed)
{
    // RGB(144, 176, 240) is the COLORREF F0B090h.
    EXPECT_EQ(Rgb(144, 176, 240), 0xF0B090u);
    EXPECT_EQ(RedOf(0xF0B090u), 144);
    EXPECT_EQ(BlueOf(0xF0B090u), 240);
}

}  // namespace
}  // namespace qv
