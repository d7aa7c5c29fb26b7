#pragma once
// A person's photographs as velkit make reads them: JPEG, PNG, WebP and
// HEIC/HEIF, recognised by their first bytes. Probing reads only the headers
// (size, orientation, the time the photo was taken); decoding reads the
// pixels at the smallest size that is still enough, upright.
//
// Orientation: the EXIF orientation tag of a JPEG is applied here. A HEIF
// file carries its orientation in its own rotation and mirror properties,
// which libheif applies while decoding (the HEIF rules say the EXIF tag of a
// HEIF file is not to be applied on top of them; phones write both alike).
#include <cstdint>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

enum class PhotoFormat { unknown, jpeg, png, webp, heif };

const char* photoFormatName(PhotoFormat format);

// The format from the first bytes of a file (16 are enough).
PhotoFormat sniffPhotoFormat(const uint8_t* bytes, size_t size);

// Whether a file name has one of the extensions the folder listing takes:
// .jpg .jpeg .jpe .png .webp .heic .heif .hif (any letter case).
bool hasPhotoExtension(const std::string& path);

struct PhotoInfo {
    std::string path;
    PhotoFormat format = PhotoFormat::unknown;
    int storedWidth = 0;   // as coded in the file
    int storedHeight = 0;
    int orientation = 1;   // EXIF orientation 1..8 still to apply (JPEG); 1 otherwise
    int width = 0;         // upright, as it will be shown
    int height = 0;
    bool hasTakenTime = false;
    int64_t takenTime = 0;  // EXIF DateTimeOriginal as seconds (local time), when present
    int64_t fileTime = 0;   // the file's modification time, seconds since 1970
    // The time for --order date: when it was taken, else the file's time.
    int64_t sortTime() const { return hasTakenTime ? takenTime : fileTime; }
};

// Reads the headers. Throws std::runtime_error("PATH: reason") when the file
// can't be read or is not a picture of a supported format.
PhotoInfo probePhoto(const std::string& path);

// Decodes the picture upright at `scale` times its size or, where the format
// can decode smaller (JPEG's DCT scaling, WebP's scaler), at the smallest
// size of at least that scale (never above full size). Throws
// std::runtime_error("PATH: reason") on damaged data.
RgbImage decodePhoto(const PhotoInfo& info, double scale);

// The EXIF orientation transform (1 = as stored .. 8), applied to an image.
RgbImage orientImage(const RgbImage& image, int orientation);

// "2023:07:14 18:03:22" (EXIF DateTime form) as seconds, read as local time;
// false when it is not such a date.
bool parseExifDateTime(const std::string& text, int64_t* seconds);

// Reads the orientation (1..8, or 0 when absent) and DateTimeOriginal from
// EXIF data (starting with "Exif\0\0" or with the TIFF header).
void readExifFields(const uint8_t* data, size_t size, int* orientation, bool* hasTime, int64_t* time);
