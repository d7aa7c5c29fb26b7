#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "codec/scan_order.h"

namespace {

std::pair<int, int> cellAt(int s) {
    Cell cell = cellOfScanPosition(s);
    return {cell.row, cell.column};
}

}  // namespace

TEST(ScanOrder, FirstSixteenPositions) {
    const std::pair<int, int> expected[16] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 2}, {2, 0}, {1, 2}, {3, 0},
                                              {0, 3}, {2, 1}, {1, 3}, {3, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3}};
    for (int s = 0; s < 16; ++s) EXPECT_EQ(cellAt(s), expected[s]) << "scan position " << s;
}

TEST(ScanOrder, LaterPositions) {
    const std::pair<int, int> expected[8] = {{0, 4}, {4, 0}, {1, 4}, {5, 0}, {2, 4}, {6, 0}, {3, 4}, {7, 0}};
    for (int s = 16; s < 24; ++s) EXPECT_EQ(cellAt(s), expected[s - 16]) << "scan position " << s;
    EXPECT_EQ(cellAt(64), std::make_pair(0, 8));
    EXPECT_EQ(cellAt(65), std::make_pair(8, 0));
}

TEST(ScanOrder, EveryCellExactlyOnce) {
    std::set<std::pair<int, int>> seen;
    for (int s = 0; s < 4096; ++s) {
        auto cell = cellAt(s);
        ASSERT_GE(cell.first, 0);
        ASSERT_LT(cell.first, 64);
        ASSERT_GE(cell.second, 0);
        ASSERT_LT(cell.second, 64);
        EXPECT_TRUE(seen.insert(cell).second) << "scan position " << s << " repeats a cell";
    }
    EXPECT_EQ(seen.size(), 4096u);
}

TEST(ScanOrder, LevelsCoverTheirSquares) {
    // Positions below 4^m stay inside the top-left 2^m x 2^m square.
    for (int m = 1; m <= 6; ++m) {
        int size = 1 << m;
        for (int s = 0; s < size * size; ++s) {
            auto cell = cellAt(s);
            EXPECT_LT(cell.first, size);
            EXPECT_LT(cell.second, size);
        }
    }
}
