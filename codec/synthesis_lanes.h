#pragma once

#include <cstddef>
#include <cstdint>

// Scratch memory of the lane-parallel synthesis: one line of eight-lane floats.
struct LaneScratch {
    LaneScratch() : block(nullptr), lines(nullptr) {}
    ~LaneScratch() { release(); }
    bool allocate(int32_t longestLine);
    void release();

    void* block;
    float* lines;  // (longestLine + 4) x 8 floats, 64-byte aligned
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

// Stage A on eight lanes at once in 512-bit registers, on block averages
// held one block row after the other (value (by, bx) at by * blockRowStep + bx);
// the first regionColumns columns of regions.
void synthesizeRegionAveragesAvx512(int16_t* averages, int32_t height, size_t blockRowStep, int32_t regionColumns);

// The line synthesis of `groups` groups of eight interleaved lines, each line
// `length` values long: value i of line l of a group lies at 8 i + l, and the
// groups follow each other. Stage B runs it on eight columns at a time (a
// plane in strips, or the decoder's lines of eight columns), stage C on a
// plane in bands (eight rows per group).
void synthesizeInterleavedLines(int16_t* values, int32_t groups, int32_t length, LaneScratch& scratch,
                                LanePath path = LanePath::automatic);
