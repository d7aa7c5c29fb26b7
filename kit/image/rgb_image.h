#pragma once
// An 8-bit RGB picture in memory, the kit's common currency between picture
// files, the scaler and the picture encoder.
#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    // Rows top to bottom, pixels left to right, three bytes per pixel: red,
    // green, blue. Size width * height * 3, no row padding.
    std::vector<uint8_t> rgb;

    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), rgb(size_t(w) * size_t(h) * 3, 0) {}

    uint8_t* pixel(int x, int y) { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
    const uint8_t* pixel(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};
