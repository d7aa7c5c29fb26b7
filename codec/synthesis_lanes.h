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
    float* lines;   // (longestLine + 4) x 8 floats, 64-byte aligned
    int16_t* rows;  // longestLine x kStripWidth values, 16-byte aligned
};

// Which registers the lane-parallel synthesis uses; all give the same bits.
enum class LanePath { automatic, sse2, avx, avx512 };

// True when the processor (and the system) can run the AVX path.
bool avxAvailable();
// True when the AVX-512 path is built in and the processor can run it.
bool avx512Available();
// Whether this build holds the AVX-512 path at all (synthesis_lanes_avx512.cpp).
bool avx512Compiled();

// The four-lane kernel in 256-bit registers (synthesis_lanes_avx.cpp).
void synthesizeLanesAvx(int16_t* base, size_t stride, int32_t n, float* scratchLine);
// The eight-lane kernel in 512-bit registers (synthesis_lanes_avx512.cpp).
void synthesizeLanesAvx512(int16_t* base, size_t stride, int32_t n, float* scratchLine);

// Stage B: every column of the plane through the line synthesis, four columns
// at a time in the lanes of the vector registers.
void synthesizeColumns(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch,
                       LanePath path = LanePath::automatic);

// Stage C: every row, eight rows at a time through a transposition buffer.
void synthesizeRows(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch,
                    LanePath path = LanePath::automatic);
