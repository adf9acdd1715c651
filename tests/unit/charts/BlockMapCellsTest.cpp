#include "core/charts/BlockMapCells.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(BlockMapCellsTest, OneCellPerUnitAt3000Units)
{
    BlockMapCells map;
    map.SetUnits(3000, 0);
    map.MarkRange(0, CELL_GOOD);
    EXPECT_EQ(map.state(0), CELL_GOOD);
    EXPECT_EQ(map.state(1), CELL_UNTESTED);
    map.MarkRange(1, CELL_DIFFERS);
    EXPECT_EQ(map.state(1), CELL_DIFFERS);
    EXPECT_EQ(map.markedCells(), 1);
    EXPECT_EQ(map.nextUnit(), 2);
    for (int u = 2; u < 3000; ++u)
        map.MarkRange(u, CELL_GOOD);
    EXPECT_EQ(map.count(CELL_GOOD), 2999);
    EXPECT_EQ(map.markedCells(), 2999);
}

TEST(BlockMapCellsTest, TwoUnitsShareACellAt6000Units)
{
    BlockMapCells map;
    map.SetUnits(6000, 0);
    map.MarkRange(0, CELL_GOOD);
    EXPECT_EQ(map.state(0), CELL_GOOD);
    EXPECT_EQ(map.state(1), CELL_UNTESTED);
    map.MarkRange(1, CELL_FAILED);  // still cell 0
    EXPECT_EQ(map.state(0), CELL_FAILED);
    EXPECT_EQ(map.state(1), CELL_UNTESTED);
    map.MarkRange(3, CELL_GOOD);  // units 2 and 3: cell 1
    EXPECT_EQ(map.state(1), CELL_GOOD);
    EXPECT_EQ(map.markedCells(), 1);
}

TEST(BlockMapCellsTest, RedStaysRedAndClearResets)
{
    BlockMapCells map;
    map.SetUnits(300, 0);  // ten cells per unit
    map.MarkRange(0, CELL_FAILED);
    map.SetUnits(300, 0);
    map.MarkRange(1, CELL_GOOD);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(map.state(i), CELL_FAILED) << i;
    EXPECT_EQ(map.state(10), CELL_GOOD);
    map.Clear();
    EXPECT_EQ(map.count(CELL_UNTESTED), kBlockMapCells);
    EXPECT_EQ(map.markedCells(), 0);
}

TEST(BlockMapCellsTest, LargeMediaDoNotOverflowAndStayInRange)
{
    BlockMapCells map;
    const int64_t units = 36507222016LL;  // 17 TiB
    map.SetUnits(units, 0);
    map.MarkRange(units / 2 - 1, CELL_GOOD);
    EXPECT_EQ(map.count(CELL_GOOD), kBlockMapCells / 2);
    map.MarkRange(units - 1, CELL_FAILED);
    EXPECT_EQ(map.count(CELL_FAILED), kBlockMapCells / 2);
    EXPECT_EQ(map.state(kBlockMapCells - 1), CELL_FAILED);
    BlockMapCells empty;
    empty.MarkRange(5, CELL_GOOD);  // no unit count yet: nothing
    EXPECT_EQ(empty.count(CELL_GOOD), 0);
}

TEST(BlockMapCellRectTest, CellsTileTheClientInsideTheBorder)
{
    const ChartRect client{0, 0, 500, 150};
    const ChartRect first = BlockMapCellRect(client, 0);
    EXPECT_EQ(first.left, 1);
    EXPECT_EQ(first.top, 1);
    EXPECT_EQ(first.right, 5);
    EXPECT_EQ(first.bottom, 5);
    const ChartRect next = BlockMapCellRect(client, 101);
    EXPECT_EQ(next.left, 5);
    EXPECT_EQ(next.top, 5);
    const ChartRect last = BlockMapCellRect(client, kBlockMapCells - 1);
    EXPECT_EQ(last.right, 500);
    EXPECT_EQ(last.bottom, 150);
    EXPECT_EQ(BlockMapColor(CELL_FAILED), Rgb(255, 0, 0));
    EXPECT_EQ(BlockMapColor(CELL_UNTESTED), Rgb(208, 208, 208));
}

}  // namespace
}  // namespace qv
