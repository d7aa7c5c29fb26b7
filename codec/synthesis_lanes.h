#pragma once

#include <cstdint>

// Scratch memory of the lane-parallel synthesis: one line of four-lane floats
// and a transposition buffer of eight rows.
struct LaneScratch {
    LaneScratch() : block(nullptr), lines(nullptr), rows(nullptr) {}
    ~LaneScratch() { release(); }
    bool allocate(int32_t longestLine);
    void release();

    void* block;
    float* lines;   // (longestLine + 4) x 4 floats, 16-byte aligned
    int16_t* rows;  // longestLine x 8 values, 16-byte aligned
};

// Stage B: every column of the plane through the line synthesis, four columns
// at a time in the lanes of the vector registers.
void synthesizeColumns(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch);

// Stage C: every row, eight rows at a time through a transposition buffer.
void synthesizeRows(int16_t* plane, int32_t width, int32_t height, LaneScratch& scratch);
