#pragma once
// How much a unit of each transform coefficient weighs in the pixels that the
// decoder reconstructs. The synthesis is not orthonormal, so an error of one
// unit in a high-frequency coefficient and in a block average do not cost the
// same squared error on screen; the rate-distortion quantiser weighs errors by
// these gains.
namespace encoder {

struct SynthesisGains {
    // Energy (sum of squared output samples) that a unit value of block
    // coefficient i = 8 v + u (1 .. 63) puts into the synthesised plane.
    double block[64];
    // The same for second-level coefficient j = 8 r + c (0 .. 63) of a region.
    double region[64];
};

// Measured once by running the decoder's own synthesis on unit impulses in the
// middle of a plane (away from the mirrored picture edges).
const SynthesisGains& synthesisGains();

}  // namespace encoder
