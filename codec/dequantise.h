#pragma once

#include <emmintrin.h>

#include <cstddef>
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

// The same from a coded plane into a separate block-layout plane of the same size.
void dequantisePlaneInto(const int16_t* coded, int16_t* blocks, int32_t width, int32_t height, int32_t quality);

// Dequantisation of one plane, prepared once (steps and where each
// coefficient is read) and then run over all of it or a range of its blocks.
class PlaneDequantiser {
public:
    PlaneDequantiser(int32_t width, int32_t height, int32_t quality);

    // The whole plane into a row-major plane in block layout.
    void intoRows(const int16_t* coded, int16_t* blocks) const;
    // Block columns [first, end) into strips (plane_layout.h) that hold only
    // these columns, one strip per block column; first and end are multiples
    // of 8 (columns of regions).
    void intoStrips(const int16_t* coded, int16_t* strips, int32_t firstBlockColumn, int32_t endBlockColumn) const;

private:
    void dequantiseAt(const int16_t* coded, int16_t* blocks, size_t blockRowStep, size_t rowStep,
                      size_t blockColumnStep, int32_t firstBlockColumn, int32_t endBlockColumn) const;

    int32_t width_;
    int32_t height_;
    size_t subbandOffset_[64];
    size_t areaOffset_[64];
    __m128i step_[64];
    __m128i half_[64];
};
