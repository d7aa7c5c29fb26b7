#pragma once
// The player's picture decoder, wrapped for the kit: decodes the bytes of a
// picture file in memory.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

struct DecodedPicture {
    bool ok = false;
    std::string error;  // why decoding failed, when !ok
    int width = 0;
    int height = 0;
    // The decoder's picture buffer as it holds it: rows top to bottom, blue,
    // green, red per pixel, no padding.
    std::vector<uint8_t> bgr;
};

// Runs the player's decoder. A header outside the decoder's limits, coded
// data that is impossible, and data that ends before the picture does are
// failures.
DecodedPicture decodePictureBytes(const std::vector<uint8_t>& bytes);

// Reorders the decoder's blue-green-red pixels into an RgbImage.
RgbImage toRgbImage(const DecodedPicture& picture);
