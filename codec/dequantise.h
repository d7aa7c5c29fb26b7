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
    const int32_t sign = (x > 0) - (x < 0);  // no branch: the signs of coefficients are as good as random
    return int16_t(uint16_t(uint32_t(x * step + sign * (step >> 1))));
}

// Replaces the coded plane in *plane (width x height) by a new plane in block
// layout, dequantised with the given quality; frees the coded plane. Returns
// false, leaving *plane untouched, when the new plane cannot be allocated.
bool dequantisePlane(int16_t** plane, int32_t width, int32_t height, int32_t quality);

// The same from a coded plane into a separate block-layout plane of the same size.
void dequantisePlaneInto(const int16_t* coded, int16_t* blocks, int32_t width, int32_t height, int32_t quality);

// Where the decoder's column lines come from: eight rows of coded values per
// block row, row v at rows[v] + by * rowStep[v] for block row by, each
// reconstructed with its step (step 1 and half 0 copy a row as it is).
struct ColumnSources {
    const int16_t* rows[8];
    size_t rowStep[8];
    int16_t step[8];
    int16_t half[8];
};

// The eight rows of each of blockRows block rows into lines[64 by + 8 v ..];
// the portable build and one with AVX2 (only where the processor has it).
void dequantiseColumnLines(const ColumnSources& sources, int32_t blockRows, int16_t* lines);
void dequantiseColumnLinesPortable(const ColumnSources& sources, int32_t blockRows, int16_t* lines);
void dequantiseColumnLinesAvx2(const ColumnSources& sources, int32_t blockRows, int16_t* lines);
bool dequantiseAvx2Compiled();

// Dequantisation of one plane, prepared once (steps and where each
// coefficient is read) and then run over all of it or a range of its blocks.
class PlaneDequantiser {
public:
    PlaneDequantiser(int32_t width, int32_t height, int32_t quality);

    // The whole plane into a row-major plane in block layout.
    void intoRows(const int16_t* coded, int16_t* blocks) const;

    // The block averages of the whole plane, dequantised, one block row
    // after the other: averages[by * (width / 8) + bx].
    void averagesInto(const int16_t* coded, int16_t* averages) const;
    // Column 8 (firstBlockColumn + l) + u of the block-layout plane for
    // l = 0 .. 7, as eight interleaved lines: lines[8 y + l] is row y of
    // line l. Each row of the eight is one run of the coded plane, so no
    // transposition is needed. The block averages come from `averages` as
    // averagesInto left them (or after their own synthesis); firstBlockColumn
    // is a multiple of 8.
    void columnLinesInto(const int16_t* coded, const int16_t* averages, int32_t u, int32_t firstBlockColumn,
                         int16_t* lines) const;

private:
    void dequantiseAt(const int16_t* coded, int16_t* blocks, size_t blockRowStep, size_t rowStep,
                      size_t blockColumnStep, int32_t firstBlockColumn, int32_t endBlockColumn) const;

    int32_t width_;
    int32_t height_;
    int32_t quality_;
    size_t subbandOffset_[64];
    size_t areaOffset_[64];
    __m128i step_[64];
    __m128i half_[64];
};
