#pragma once
// Quantisation and the coded layout of the picture codec: block-layout
// transform coefficients become the integers that the entropy coder writes,
// gathered into the subbands that the decoder's dequantisation reads.
#include <cstdint>
#include <vector>

struct EncoderOptions;

// The encoder's stages; the namespace keeps them apart from the decoder's
// functions of the same names.
namespace encoder {

// Quantiser step of block coefficient (u, v) for quality q, computed as the
// decoder computes it: trunc(3^(v s) * 3^(u s) * q) with s the single-precision
// value nearest to 1/7.
int quantiserStep(int u, int v, int quality);

// Subband column P and row Q of block coefficient i (1 .. 63), or of the area
// of subband (0, 0) that holds second-level coefficient i (0 .. 63).
int subbandColumn(int i);
int subbandRow(int i);

// The value the decoder reconstructs from quantised level x with step t.
int dequantise(int x, int step);

// Quantises one coefficient: zero below deadZone * step, otherwise the
// level of floor(|c| / step - 0.5 + roundingBias), at least 1 and small enough
// for the decoder's 16-bit planes.
int quantise(double coefficient, int step, double deadZone, double roundingBias);

// Dead zone of block coefficient i (1 .. 63), or of the second-level
// coefficients for i = 0.
double deadZoneOf(int i, const EncoderOptions& options);

// Quantises a block-layout plane (see analyzePlane) with the steps of the
// given quality and returns it in the coded layout, row-major width x height.
std::vector<int16_t> quantisePlane(const std::vector<double>& blockPlane, int width, int height, int quality,
                                   const EncoderOptions& options);

}  // namespace encoder
