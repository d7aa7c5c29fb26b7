#pragma once

#include <cstddef>
#include <cstdint>

// Columns are synthesised in strips of this many, rows in groups of eight.
const int32_t kStripWidth = 32;

// Scratch memory of the lane-parallel synthesis: one line of four-lane floats
// and a buffer for a strip of columns or a transposed group of rows.
struct LaneScratch {
    LaneScratch() : block(nullptr), lines(nullptr), rows(nullptr) {}
    ~LaneScratch() { release(); }
    bool allocate(int32_t longestLine);
    void release();

    void* block;
    float* lines;   // (longestLine + 4) x 4 floats, 16-byte aligned
    int16_t* rows;  // longestLine x kStripWidth values, 16-byte aligned
};

// Which registers the lane-parallel synthesis uses; all give the same bits.
enum class LanePath { automatic, sse2, avx };

// True when the processor (and the system) can run the AVX path.
bool avxAvailable();

// The four-lane kernel in 256-bit registers (synthesis_lanes_avx.cpp).
void synthesizeLanesAvx(int16_t* base, size_t stride, int32_t n, float* scratchLine);

// Stage B: every column of the plane through the line synthesis, four columns
// at a time in the lanes of the vector registers.
void synthesizeColumns(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch,
                       LanePath path = LanePath::automatic);

// Stage C: every row, eight rows at a time through a transposition buffer.
void synthesizeRows(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch,
                    LanePath path = LanePath::automatic);
