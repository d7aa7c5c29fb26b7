#pragma once

#include <cstdint>

#include "codec/synthesis_lanes.h"

class PlaneDequantiser;

// The 8-point synthesis DCT (DCT-III) in place on values[0], values[stride],
// ..., values[7 * stride], with the rounding points of the picture format.
void idct8(float* values, int32_t stride);

// One-dimensional lapped synthesis in place on n values (n a multiple of 8,
// at least 8). scratch holds at least n + 4 floats.
void synthesizeLine(int16_t* line, int32_t n, float* scratch);

// Stage A alone on a row-major plane: rebuilds the block averages of every
// 64 x 64 region.
void synthesizeRegionAverages(int16_t* plane, int32_t width, int32_t height);

// The whole synthesis of a width x height plane in block layout, row-major:
// region averages, then every column, then every row. Returns false when the
// scratch memory cannot be allocated (the plane is then unchanged).
bool synthesizePlane(int16_t* plane, int32_t width, int32_t height);

// The same with a chosen register path (tests compare them).
bool synthesizePlaneWith(int16_t* plane, int32_t width, int32_t height, LanePath path);

// The synthesis in pieces that stay in the cache from one step to the next,
// on planes in strips or bands (plane_layout.h). The scratch is allocated for
// the longer side of the plane.
//
// synthesizeStripColumns runs stages A and B on a whole plane in strips and
// moves it into `bands` (the row-major synthesizePlane works this way).
void synthesizeStripColumns(int16_t* strips, int16_t* bands, int32_t width, int32_t height, LaneScratch& scratch,
                            LanePath path = LanePath::automatic);
// synthesizeCodedColumns runs stages A and B as the decoder does, straight
// from a coded plane (dequantise.h) into `bands`: the block averages are
// dequantised and synthesised first, then every eight columns that lie eight
// apart (the same column of eight neighbouring blocks) are dequantised into
// interleaved lines and synthesised together. `work` holds
// width * height / 64 + 8 * height values.
void synthesizeCodedColumns(const PlaneDequantiser& dequantiser, const int16_t* coded, int16_t* bands,
                            int32_t width, int32_t height, int16_t* work, LaneScratch& scratch,
                            LanePath path = LanePath::automatic);
// synthesizeBandRows runs stage C on bands [firstBand, firstBand + bandCount),
// in any order.
void synthesizeBandRows(int16_t* bands, int32_t firstBand, int32_t bandCount, int32_t width, LaneScratch& scratch,
                        LanePath path = LanePath::automatic);

// A float converted back to a plane value: nearest integer, ties to even, as a
// 32-bit integer, of which the low 16 bits are kept.
int16_t planeValueOf(float value);
