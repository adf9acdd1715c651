#include "core/charts/FileSpeedChartGeometry.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

std::vector<std::string> axisNumbers(const ChartRect& plot, int maximum, std::vector<GridLine>* lines = nullptr)
{
    std::vector<GridLine> l;
    std::vector<ChartLabel> labels;
    LayoutFileSpeedAxis(plot, maximum, &l, &labels);
    std::vector<std::string> texts;
    for (const ChartLabel& label : labels)
        texts.push_back(label.text);
    if (lines)
        *lines = l;
    return texts;
}

TEST(FileSpeedAxis, InitialScaleHasTwoUnlabelledIntervals)
{
    const ChartRect plot{50, 12, 450, 280};
    std::vector<GridLine> lines;
    EXPECT_TRUE(axisNumbers(plot, 1000, &lines).empty());
    EXPECT_EQ(FileSpeedAxisCount(1000), 2);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].x0, 250);
    EXPECT_FALSE(lines[1].labelled);
}

TEST(FileSpeedAxis, BarOf2300RaisesTheScaleTo3000)
{
    int maximum = 1000;
    EXPECT_FALSE(RaiseSpeedMaximum(&maximum, 1000));
    EXPECT_TRUE(RaiseSpeedMaximum(&maximum, 2300));
    EXPECT_EQ(maximum, 3000);
    EXPECT_FALSE(RaiseSpeedMaximum(&maximum, 2999));

    const ChartRect plot{50, 12, 650, 280};
    std::vector<GridLine> lines;
    EXPECT_EQ(axisNumbers(plot, maximum, &lines), (std::vector<std::string>{"0", "1000", "2000", "3000"}));
    ASSERT_EQ(lines.size(), 7u);  // 500 KB/s apart
    EXPECT_EQ(lines[1].x0 - lines[0].x0, 100);
    // Above ten intervals only every (count / 10)th even line is numbered.
    EXPECT_EQ(axisNumbers(plot, 10000).size(), 11u);
    EXPECT_EQ(axisNumbers(plot, 20000).size(), 11u);
}

TEST(FileSpeedBarLayout, RowsBarsAndLabels)
{
    const ChartRect plot = FileSpeedChartPlot({0, 0, 500, 300}, 50, 14);
    EXPECT_EQ(plot.left, 50);
    EXPECT_EQ(plot.bottom, 300 - 14 - 5);
    const int centre = plot.top + plot.height() / 14;
    const FileSpeedBar write = LayoutFileSpeedBar(plot, 3000, 0, 2, 1500, 60, 13);
    EXPECT_EQ(write.rect.top, centre - 14);
    EXPECT_EQ(write.rect.bottom, centre);
    EXPECT_EQ(write.rect.width(), plot.width() / 2);
    EXPECT_EQ(write.labelRight, plot.left + plot.width() / 2 - 5);
    EXPECT_EQ(write.labelTop, write.rect.top);  // (14 - 13) / 2 = 0
    const FileSpeedBar read = LayoutFileSpeedBar(plot, 3000, 0, 1, 1500, 60, 13);
    EXPECT_EQ(read.rect.top, centre);

    // A bar shorter than its label: the label starts at plot left + 1.
    const FileSpeedBar shortBar = LayoutFileSpeedBar(plot, 3000, 3, 1, 30, 60, 13);
    EXPECT_EQ(shortBar.labelRight - 60, plot.left + 1);
    EXPECT_EQ(FileSpeedRowLabelTop(plot, 3, 14), plot.top + plot.height() * 3 / 7 + plot.height() / 14 - 7);
}

}  // namespace
}  // namespace qv
