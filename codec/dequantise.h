#pragma once

#include <cstdint>

// Subband (column P, row Q) of the 8 x 8 subband grid of a coded plane.
struct Subband {
    int32_t column;
    int32_t row;
};

// Where block coefficient i (1 .. 63) is stored; for a second-level
// coefficient j (0 .. 63) the same rule gives its area of subband (0, 0).
Subband subbandOfIndex(int32_t i);

// Quantiser step of block coefficient (u, v) at quality q.
int32_t quantiserStep(int32_t u, int32_t v, int32_t quality);

// A quantised value placed in the middle of its interval, kept as 16 bits.
inline int16_t reconstructCoefficient(int32_t x, int32_t step) {
    int32_t value = 0;
    if (x > 0) value = x * step + (step >> 1);
    if (x < 0) value = x * step - (step >> 1);
    return int16_t(uint16_t(uint32_t(value)));
}

// Replaces the coded plane in *plane (width x height) by a new plane in block
// layout, dequantised with the given quality; frees the coded plane. Returns
// false, leaving *plane untouched, when the new plane cannot be allocated.
bool dequantisePlane(int16_t** plane, int32_t width, int32_t height, int32_t quality);

// The same from a coded plane into a separate block-layout plane of the same
// size, row-major or in strips (plane_layout.h).
void dequantisePlaneInto(const int16_t* coded, int16_t* blocks, int32_t width, int32_t height, int32_t quality);
void dequantiseIntoStrips(const int16_t* coded, int16_t* strips, int32_t width, int32_t height, int32_t quality);
