#pragma once
// Test inputs for velkit make, made the way a person's files are: songs
// written by FFmpeg's encoders, JPEG photos with EXIF tags written by
// libexif, WebP and HEIC pictures written by libwebp and libheif.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

// Writes `seconds` of a two-tone chord in the container that the file's
// extension names (.mp3 .flac .wav .opus .ogg .m4a), with FFmpeg's encoder
// `encoder` (e.g. "libmp3lame", "flac", "pcm_s16le", "libopus",
// "libvorbis", "aac"). False, with the reason, when the encoder does not
// exist in this FFmpeg or writing fails.
bool writeSong(const std::string& path, const std::string& encoder, double seconds, int rate, int channels,
               std::string* error);

// Whether this FFmpeg has the encoder.
bool hasAudioEncoder(const std::string& encoder);

// A baseline JPEG (quality 92) holding `stored` as it is, with an EXIF APP1
// segment carrying the orientation (1..8; 0 for none) and, when not empty,
// DateTimeOriginal ("2021:06:01 12:00:00").
void writeExifJpeg(const std::string& path, const RgbImage& stored, int orientation, const std::string& taken);

// A lossless-ish WebP (quality 95) and a HEIC (quality 90). False when the
// encoder is missing.
bool writeWebp(const std::string& path, const RgbImage& image);
bool writeHeic(const std::string& path, const RgbImage& image, std::string* error);

std::string testDataDirectory();  // VEL_TEST_DATA_DIR
// A real photograph: a test photo (skimage) by name; empty image when the
// test data is missing.
RgbImage testPhoto(const std::string& name);
// The large camera photo from lomiri-wallpapers (6028 x 3391); empty when missing.
std::string wallpaperPath();
