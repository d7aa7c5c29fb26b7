#pragma once
// Pictures and helpers shared by the encoder tests.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

RgbImage flatPicture(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
// Horizontal red ramp, vertical green ramp, diagonal blue ramp.
RgbImage gradientPicture(int width, int height);
// Independent uniform noise in every sample.
RgbImage noisePicture(int width, int height, uint32_t seed);
// A sum of a few random low-frequency cosines per channel, within 16 .. 239.
RgbImage smoothPicture(int width, int height, uint32_t seed);

// The photographs directory, or "" when the photographs are absent.
std::string photoDirectory();

// Decodes with the player's decoder; fails the test when decoding fails or
// the size is not width x height.
RgbImage roundTripBytes(const std::vector<uint8_t>& bytes, int width, int height);

// Largest absolute difference of any sample.
int maxSampleError(const RgbImage& a, const RgbImage& b);
