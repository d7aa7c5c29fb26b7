#pragma once
// Refinement of a plane's levels against the pixels the decoder rebuilds. The
// synthesis functions of neighbouring coefficients overlap and are not
// orthogonal, so the level nearest to each coefficient on its own is not the
// best set of levels together. Starting from the rate-distortion optimised
// levels, each coefficient in turn is moved one level up or down when that
// lowers error + lambda * bits, the error being measured exactly on the
// current reconstruction error of the whole plane (which every accepted move
// updates).
#include <cstdint>
#include <vector>

namespace encoder {

struct RdoPlane;

// coded: the levels in the coded layout (changed in place); samples: the
// plane the coefficients were analysed from (row-major); quality: the
// decoder's quality of the plane; cellPrices: the bit prices per cell that
// quantiseRdo reported; sweeps: passes over all coefficients.
void refineAgainstPixels(const RdoPlane& plane, const std::vector<double>& samples, int quality, double lambda,
                         const std::vector<float>& cellPrices, std::vector<int16_t>& coded, int sweeps);

}  // namespace encoder
