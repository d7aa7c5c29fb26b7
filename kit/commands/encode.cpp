// velkit encode: a PNG, JPEG or PPM picture into the show's picture format.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "kit/command.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/image_file.h"
#include "kit/image/scale.h"

static bool parse_size(const char* text, int& width, int& height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    const long h = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || w <= 0 || h <= 0 || w > 32767 || h > 32767) return false;
    width = int(w);
    height = int(h);
    return true;
}

static int run_encode(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    int width = 0, height = 0;
    bool quality_given = false;
    PictureEncodeOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--size")) {
            if (i + 1 >= argc || !parse_size(argv[i + 1], width, height)) {
                std::fprintf(stderr, "velkit: encode: --size needs WIDTHxHEIGHT, e.g. --size 1024x512\n");
                return 1;
            }
            ++i;
        } else if (!std::strcmp(argv[i], "--quality")) {
            long long quality = 0;
            if (i + 1 >= argc || !parse_whole_number(argv[i + 1], kMinPictureQuality, kMaxPictureQuality, quality)) {
                std::fprintf(stderr, "velkit: encode: --quality needs a whole number from %d to %d, e.g. --quality %d\n",
                             kMinPictureQuality, kMaxPictureQuality, kDefaultPictureQuality);
                return 1;
            }
            options.quality = int(quality);
            quality_given = true;
            ++i;
        } else if (!std::strcmp(argv[i], "--max-bytes")) {
            long long bytes = 0;
            if (i + 1 >= argc || !parse_whole_number(argv[i + 1], 1, 1LL << 40, bytes)) {
                std::fprintf(stderr, "velkit: encode: --max-bytes needs a whole number of bytes above 0, e.g. --max-bytes 60000\n");
                return 1;
            }
            options.maxBytes = bytes;
            ++i;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            std::fprintf(stderr, "velkit: encode: unknown option '%s'\n", argv[i]);
            return 1;
        } else if (!input) {
            input = argv[i];
        } else if (!output) {
            output = argv[i];
        } else {
            std::fprintf(stderr, "velkit: encode: unexpected argument '%s'\n", argv[i]);
            return 1;
        }
    }
    if (!input || !output) {
        std::fprintf(stderr, "velkit: usage: velkit encode IN OUT.wmj [--size WxH] [--quality Q | --max-bytes N]\n");
        return 1;
    }
    if (quality_given && options.maxBytes > 0) {
        std::fprintf(stderr, "velkit: encode: --quality and --max-bytes exclude each other: give one of them\n");
        return 1;
    }
    if (width && !pictureSizeEncodable(width, height)) {
        std::fprintf(stderr,
                     "velkit: encode: cannot encode %dx%d: width and height must be multiples of 64, "
                     "at least 64, the height not above the width, at most 8192x8192 pixels in all\n",
                     width, height);
        return 1;
    }
    try {
        RgbImage image = readImageFile(input);
        if (width) image = scaleAndCrop(image, width, height);
        if (!pictureSizeEncodable(image.width, image.height)) {
            std::fprintf(stderr,
                         "velkit: encode: %s is %dx%d; pictures need width and height in multiples of 64 "
                         "(height not above width): use --size WxH, e.g. --size 1024x512\n",
                         input, image.width, image.height);
            return 1;
        }
        writeFileBytes(output, encodePicture(image, options));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velkit: encode: %s\n", error.what());
        return 1;
    }
    return 0;
}

VELKIT_COMMAND_WITH_HELP(
    encode, "encode IN OUT.wmj [--size WxH] [--quality Q | --max-bytes N]",
    "encodes a PNG, JPEG or PPM picture into the show's picture format (--size scales and centre-crops)",
    "  --size WxH       scale to cover WxH and cut away the overhang equally on both sides\n"
    "                   (the show uses 1024x512)\n"
    "  --quality Q      1 .. 100, default 85: higher gives larger files and better pictures;\n"
    "                   100 is the best picture the format holds\n"
    "  --max-bytes N    the best picture whose file takes at most N bytes (instead of --quality);\n"
    "                   fails when even a flat grey picture of that size is larger\n"
    "example: velkit encode photo.jpg data/images/0001.wmj --size 1024x512 --max-bytes 60000\n",
    run_encode);
