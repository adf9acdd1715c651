#include "core/charts/SpeedChartGeometry.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(SpeedScale, NominalTwentyThousandGivesFiveLabelledLinesUpTo25)
{
    const SpeedScale s = ComputeSpeedScale(20000);
    EXPECT_EQ(s.unit, 1000);
    EXPECT_EQ(s.step, 5);
    EXPECT_EQ(s.lines, 10);
    EXPECT_DOUBLE_EQ(s.ratio, 1.0);
    EXPECT_EQ(s.topValue, 25000);
    EXPECT_EQ(s.fullScale, 25600);

    const SpeedChartLayout layout = LayoutSpeedChart({0, 0, 400, 300}, 40, 12, 20000, "Speed");
    std::vector<std::string> scaleLabels;
    for (const ChartLabel& label : layout.labels)
        if (label.align == ChartLabel::Right)
            scaleLabels.push_back(label.text);
    EXPECT_EQ(scaleLabels, (std::vector<std::string>{"25", "20", "15", "10", "5"}));
    // The top line is labelled and sits on the plot's top edge; no line at
    // the bottom, where the frame is.
    EXPECT_EQ(layout.lines.front().y0, layout.plot.top);
    EXPECT_TRUE(layout.lines.front().labelled);
    for (int i = 0; i < s.lines; ++i)
        EXPECT_LT(layout.lines[size_t(i)].y0, layout.plot.bottom);
}

TEST(SpeedScale, StepIsTenFromFiftyFiveUnits)
{
    // w = M / unit + 1 with unit 100 for four-digit M.
    EXPECT_EQ(ComputeSpeedScale(5300).step, 5);   // w = 54
    EXPECT_EQ(ComputeSpeedScale(5400).step, 10);  // w = 55
    // Six lines become twelve.
    EXPECT_EQ(ComputeSpeedScale(10).lines, 12);
}

TEST(SpeedChartLayoutTest, PlotMarginsAndPositionAxis)
{
    const SpeedChartLayout layout = LayoutSpeedChart({10, 20, 410, 320}, 40, 12, 20000, "Speed");
    EXPECT_EQ(layout.plot.left, 50);
    EXPECT_EQ(layout.plot.top, 32);
    EXPECT_EQ(layout.plot.right, 390);
    EXPECT_EQ(layout.plot.bottom, 308);
    std::vector<std::string> axis;
    for (const ChartLabel& label : layout.labels)
        if (label.align == ChartLabel::Centre)
            axis.push_back(label.text);
    ASSERT_EQ(axis.size(), 11u);
    EXPECT_EQ(axis.front(), "0");
    EXPECT_EQ(axis.back(), "100%");
    EXPECT_EQ(layout.title.y, 32 - 12 - 2);
}

TEST(SpeedChartPointTest, SamplesAndIndicesLandOnTheEdges)
{
    const ChartRect plot{40, 12, 380, 288};
    const int full = ComputeSpeedScale(20000).fullScale;
    EXPECT_EQ(SpeedChartPoint(plot, full, 0, 25600), (ChartPoint{40, 12}));
    EXPECT_EQ(SpeedChartPoint(plot, full, 199, 12800), (ChartPoint{380, 12 + 276 / 2}));
    // Values above the scale are plotted above the plot, not clipped.
    EXPECT_LT(SpeedChartPoint(plot, full, 10, 30000).y, plot.top);

    SpeedSeriesTrack track;
    ChartPoint from, to;
    EXPECT_FALSE(track.AddPoint(plot, full, 0, 25600, 1, &from, &to));
    EXPECT_TRUE(track.AddPoint(plot, full, 199, 12800, 1, &from, &to));
    EXPECT_EQ(from, (ChartPoint{40, 12}));
    EXPECT_EQ(to, (ChartPoint{380, 150}));
    // The series keep separate last points.
    EXPECT_FALSE(track.AddPoint(plot, full, 0, 0, 2, &from, &to));
    EXPECT_EQ(track.last(1), (ChartPoint{380, 150}));
    EXPECT_EQ(track.last(2), (ChartPoint{40, 288}));
}

}  // namespace
}  // namespace qv
