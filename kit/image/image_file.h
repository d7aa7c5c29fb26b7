#pragma once
// Reading and writing picture files for the kit. Every function throws
// std::runtime_error with a readable message (naming the file) on failure.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

// Reads a PNG, JPEG or binary PPM (P6) file, recognised by its first bytes.
// Grey, palette and 16-bit PNGs are converted to 8-bit RGB; an alpha channel
// is composited onto black. Grey JPEGs become RGB; CMYK JPEGs are refused.
RgbImage readImageFile(const std::string& path);

// Writes a PNG or a binary PPM, chosen by the extension (".png", ".ppm",
// letter case ignored).
void writeImageFile(const std::string& path, const RgbImage& image);

// The individual formats, on memory or on files.
RgbImage decodePng(const std::vector<uint8_t>& bytes);
RgbImage decodeJpeg(const std::vector<uint8_t>& bytes);
RgbImage decodePpm(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> encodePng(const RgbImage& image);
std::vector<uint8_t> encodePpm(const RgbImage& image);
// Baseline JPEG at the given quality (1 .. 100) with 4:2:0 chroma.
std::vector<uint8_t> encodeJpeg(const RgbImage& image, int quality);

// Whole-file helpers.
std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Lower-case extension of a path including the dot (".png"), or "".
std::string fileExtension(const std::string& path);
