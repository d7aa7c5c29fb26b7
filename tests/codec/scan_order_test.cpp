#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "codec/scan_order.h"
#include "tests/support/picture_tables.h"

namespace {

std::pair<int, int> cellAt(int s) {
    Cell cell = cellOfScanPosition(s);
    return {cell.row, cell.column};
}

}  // namespace

TEST(ScanOrder, DocumentedPositions) {
    for (int s = 0; s < 24; ++s)
        EXPECT_EQ(cellAt(s), std::make_pair(kScanStart[s][0], kScanStart[s][1])) << "scan position " << s;
    EXPECT_EQ(cellAt(64), std::make_pair(0, 8));
    EXPECT_EQ(cellAt(65), std::make_pair(8, 0));
}

// Every cell once, and positions below 4^m inside the top-left 2^m x 2^m square.
TEST(ScanOrder, EveryCellOnceLevelByLevel) {
    std::set<std::pair<int, int>> seen;
    for (int s = 0; s < 4096; ++s) {
        auto cell = cellAt(s);
        int size = 1;
        while (size * size <= s) size *= 2;
        ASSERT_LT(cell.first, size) << "scan position " << s;
        ASSERT_LT(cell.second, size) << "scan position " << s;
        ASSERT_GE(cell.first, 0);
        ASSERT_GE(cell.second, 0);
        EXPECT_TRUE(seen.insert(cell).second) << "scan position " << s << " repeats a cell";
    }
}
