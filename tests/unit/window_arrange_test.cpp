// The layouts of five to twelve windows (the script test arranges two and four real ones):
// columns of the right sizes, each tiling the work area's height without gaps, and the
// same layout in every grid mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <vector>

#include "engine/ui/window_arrange.h"
#include "engine/ui/window_ops_state.h"

namespace {

const ArrangeMetrics kMetrics{1280, 1000, 4, 4, 19};

struct ColumnsCase {
    int count;
    std::vector<int> perColumn;   // windows in each column, left to right
};

TEST(ArrangeLayout, ManyWindowsFillColumnsTopToBottom)
{
    const int half = ((1280 | 14) / 2) - 4 + 1, third = ((1280 / 3) | 7) - 4 + 1, twoThirds = ((2560 / 3) | 7) - 4 + 1;
    for (const ColumnsCase& c : {ColumnsCase{5, {2, 3}}, ColumnsCase{6, {3, 3}}, ColumnsCase{7, {3, 4}},
                                 ColumnsCase{8, {4, 4}}, ColumnsCase{9, {3, 3, 3}}, ColumnsCase{10, {3, 3, 4}},
                                 ColumnsCase{11, {3, 4, 4}}, ColumnsCase{12, {4, 4, 4}}}) {
        std::vector<int> lefts = c.perColumn.size() == 2 ? std::vector<int>{0, half} : std::vector<int>{0, third, twoThirds};
        RECT tile[ARRANGE_MAX_WINDOWS];
        ArrangeLayout(kMetrics, ARRANGE_TILE, c.count, tile);
        for (int mode : {ARRANGE_ROWS, ARRANGE_COLUMNS}) {
            RECT other[ARRANGE_MAX_WINDOWS];
            ArrangeLayout(kMetrics, mode, c.count, other);
            for (int i = 0; i < c.count; ++i)
                EXPECT_TRUE(EqualRect(&tile[i], &other[i])) << c.count << " windows, mode " << mode << ", cell " << i;
        }
        int cell = 0;
        for (size_t column = 0; column < c.perColumn.size(); ++column) {
            int right = column + 1 < lefts.size() ? lefts[column + 1] : 1280;
            int top = 0;
            for (int k = 0; k < c.perColumn[column]; ++k, ++cell) {
                EXPECT_EQ(tile[cell].left, lefts[column]) << c.count << " windows, cell " << cell;
                EXPECT_EQ(tile[cell].right, right) << c.count << " windows, cell " << cell;
                EXPECT_EQ(tile[cell].top, top) << c.count << " windows, cell " << cell;
                EXPECT_GT(tile[cell].bottom, top);
                top = tile[cell].bottom;
            }
            EXPECT_EQ(top, 1000) << c.count << " windows, column " << column;
        }
        EXPECT_EQ(cell, c.count);
    }
}

TEST(ArrangeLayout, OneWindowTakesTheWholeAreaInEveryMode)
{
    for (int mode : {ARRANGE_TILE, ARRANGE_ROWS, ARRANGE_COLUMNS}) {
        RECT cell;
        ArrangeLayout(kMetrics, mode, 1, &cell);
        EXPECT_EQ(cell.left, 0);
        EXPECT_EQ(cell.top, 0);
        EXPECT_EQ(cell.right, 1280);
        EXPECT_EQ(cell.bottom, 1000);
    }
    RECT stacked;
    ArrangeLayout(kMetrics, ARRANGE_STACK, 1, &stacked);   // one step of nothing: the whole area
    EXPECT_EQ(stacked.left, (0 | 7) - 4 + 1);
    EXPECT_EQ(stacked.right, 1280);
    EXPECT_EQ(stacked.bottom, 1000);
}

}  // namespace
