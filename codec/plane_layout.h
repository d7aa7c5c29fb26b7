#pragma once
// Two arrangements of a plane that keep every synthesis pass on contiguous
// memory. In both the plane is cut into 8 x 8 blocks of 64 consecutive values.
//
// Strips: the blocks of each column of blocks follow each other, top to
// bottom, and a block holds its rows one after the other. A column of the
// plane is then eight values apart from row to row, so eight neighbouring
// columns are transformed together with one contiguous load per row.
//
// Bands: the blocks of each row of blocks follow each other, left to right,
// and a block holds its columns one after the other (eight rows per column).
// Eight neighbouring rows are then transformed together the same way.

#include <cstddef>
#include <cstdint>

inline size_t stripIndex(int32_t row, int32_t column, int32_t height) {
    return size_t(column >> 3) * size_t(height) * 8 + size_t(row) * 8 + size_t(column & 7);
}

inline size_t bandIndex(int32_t row, int32_t column, int32_t width) {
    return size_t(row >> 3) * size_t(width) * 8 + size_t(column) * 8 + size_t(row & 7);
}

// Conversions between a row-major plane and the two arrangements; width and
// height are multiples of 8, source and destination do not overlap.
void stripsFromRows(const int16_t* rows, int16_t* strips, int32_t width, int32_t height);
void bandsFromStrips(const int16_t* strips, int16_t* bands, int32_t width, int32_t height);
void rowsFromBands(const int16_t* bands, int16_t* rows, int32_t width, int32_t height);
