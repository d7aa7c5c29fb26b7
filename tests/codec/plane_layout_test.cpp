#include <gtest/gtest.h>

#include <vector>

#include "codec/plane_layout.h"

// The two arrangements put each value where their index says, and back.
TEST(PlaneLayout, StripsAndBandsHoldEveryValueWhereTheIndexSays) {
    const int width = 24, height = 16;
    std::vector<int16_t> rows(size_t(width) * height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) rows[size_t(row) * width + column] = int16_t(row * 1000 + column);
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

// A column of a strip steps by eight values, a row of a band as well; a
// block's 64 values are consecutive in both.
TEST(PlaneLayout, IndicesOfTheFirstValues) {
    EXPECT_EQ(stripIndex(1, 0, 512), 8u);
    EXPECT_EQ(stripIndex(0, 7, 512), 7u);
    EXPECT_EQ(stripIndex(0, 8, 512), 8u * 512);
    EXPECT_EQ(stripIndex(511, 1023, 512), size_t(1024) * 512 - 1);
    EXPECT_EQ(bandIndex(0, 1, 1024), 8u);
    EXPECT_EQ(bandIndex(7, 0, 1024), 7u);
    EXPECT_EQ(bandIndex(8, 0, 1024), 8u * 1024);
    EXPECT_EQ(bandIndex(511, 1023, 1024), size_t(1024) * 512 - 1);
}
