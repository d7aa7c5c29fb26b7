#pragma once
// Test inputs for velkit make, made the way a person's files are: songs
// written by FFmpeg's encoders, camera JPEGs with EXIF tags, WebP and HEIC.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

// Writes `seconds` of a two-tone chord with FFmpeg's encoder `encoder` in the
// container the extension names. Throws std::runtime_error when that fails.
void writeSong(const std::string& path, const std::string& encoder, double seconds, int rate, int channels);
bool hasAudioEncoder(const std::string& encoder);
// The root mean square of interleaved samples from .. to - 1.
double rms(const std::vector<int16_t>& samples, size_t from, size_t to);

// A JPEG (quality 92) of `stored` as it is, with an EXIF segment holding the
// orientation (1..8; 0 for none) and, when not empty, DateTimeOriginal.
void writeExifJpeg(const std::string& path, const RgbImage& stored, int orientation, const std::string& taken);
// False when the encoder is missing.
bool writeWebp(const std::string& path, const RgbImage& image);
bool writeHeic(const std::string& path, const RgbImage& image, std::string* error);

std::string testDataDirectory();
// A test photo by name; an empty image when the test data is missing.
RgbImage testPhoto(const std::string& name);
// The large camera photo (6028 x 3391); empty when missing.
std::string wallpaperPath();
