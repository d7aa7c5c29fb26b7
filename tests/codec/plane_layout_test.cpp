#include <gtest/gtest.h>

#include <vector>

#include "codec/plane_layout.h"

namespace {

// Every value names its own place: row * 1000 + column.
std::vector<int16_t> numberedRows(int width, int height) {
    std::vector<int16_t> rows(size_t(width) * height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            rows[size_t(row) * width + column] = int16_t(row * 1000 + column);
    return rows;
}

// The two arrangements put each value where their index says, and back.
TEST(PlaneLayout, StripsAndBandsHoldEveryValueWhereTheIndexSays) {
    const int width = 24, height = 16;
    const std::vector<int16_t> rows = numberedRows(width, height);
    std::vector<int16_t> strips(rows.size()), bands(rows.size()), back(rows.size(), -1);
    stripsFromRows(rows.data(), strips.data(), width, height);
    bandsFromStrips(strips.data(), bands.data(), width, height);
    rowsFromBands(bands.data(), back.data(), width, height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const int16_t value = int16_t(row * 1000 + column);
            ASSERT_EQ(strips[stripIndex(row, column, height)], value) << row << ", " << column;
            ASSERT_EQ(bands[bandIndex(row, column, width)], value) << row << ", " << column;
        }
    EXPECT_EQ(back, rows);
}

// A column of a strip steps by eight values; a row of a band as well; a
// block's 64 values are consecutive in both.
TEST(PlaneLayout, IndicesOfTheFirstValues) {
    const int width = 1024, height = 512;
    EXPECT_EQ(stripIndex(0, 0, height), 0u);
    EXPECT_EQ(stripIndex(1, 0, height), 8u);
    EXPECT_EQ(stripIndex(0, 7, height), 7u);
    EXPECT_EQ(stripIndex(0, 8, height), 8u * 512);
    EXPECT_EQ(stripIndex(511, 1023, height), size_t(width) * height - 1);
    EXPECT_EQ(bandIndex(0, 1, width), 8u);
    EXPECT_EQ(bandIndex(7, 0, width), 7u);
    EXPECT_EQ(bandIndex(8, 0, width), 8u * 1024);
    EXPECT_EQ(bandIndex(511, 1023, width), size_t(width) * height - 1);
}

}  // namespace
