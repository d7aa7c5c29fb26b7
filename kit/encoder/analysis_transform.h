#pragma once
// Forward (analysis) transforms of the picture codec: the exact inverses, in
// double precision, of the decoder's synthesis stages. The decoder runs the
// region DCT, then the column pass, then the row pass; analysis undoes them in
// the opposite order.
#include <vector>

// The encoder's stages; the namespace keeps them apart from the decoder's
// functions of the same names.
namespace encoder {

// Forward lapped transform of one line of n samples (n a multiple of 8, at
// least 8) into n coefficients, in place. Inverse of the decoder's line
// synthesis, including its mirrored ends.
void analyzeLine(double* line, int n);

// The line synthesis itself, in double precision without the decoder's
// single-precision rounding points: the reference that analyzeLine inverts.
void synthesizeLineExact(double* line, int n);

// Orthonormal 8-point DCT-II of eight values at the given stride, in place
// (inverse of the decoder's idct8).
void forwardDct8(double* values, int stride);

// Whole-plane analysis of width x height samples (row-major): rows, then
// columns, then the second-level DCT of the block averages of every 64 x 64
// region. The result is in block layout: block (bx, by) holds its
// coefficients at rows 8 by .. 8 by + 7, columns 8 bx .. 8 bx + 7, and the
// position of its average holds second-level coefficient
// 8 (by mod 8) + (bx mod 8) of its region, scaled as the decoder expects.
void analyzePlane(std::vector<double>& plane, int width, int height);

}  // namespace encoder
