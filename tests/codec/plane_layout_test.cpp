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
