#pragma once
// Forward colour conversion: 8-bit RGB into the codec's three YCoCg-R planes
// (luma, orange chroma, green chroma) with two fractional bits.
#include <vector>

#include "kit/image/rgb_image.h"

// The encoder's stages; the namespace keeps them apart from the decoder's
// functions of the same names.
namespace encoder {

struct ColourPlanes {
    std::vector<double> luma, orange, green;  // row-major, width x height
};

// Samples are 4 v + 2 for the lossless YCoCg-R value v of a pixel centred on
// zero: the decoder shifts out the two fractional bits (rounding down), so the
// middle of the interval tolerates the most transform error either way.
ColourPlanes toColourPlanes(const RgbImage& image);

}  // namespace encoder
