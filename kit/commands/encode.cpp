// velkit encode: a PNG, JPEG or PPM picture into the show's picture format.
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
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--size")) {
            if (i + 1 >= argc || !parse_size(argv[i + 1], width, height)) {
                std::fprintf(stderr, "velkit: encode: --size needs WIDTHxHEIGHT, e.g. --size 1024x512\n");
                return 1;
            }
            ++i;
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
        std::fprintf(stderr, "velkit: usage: velkit encode IN OUT.wmj [--size WxH]\n");
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
        writeFileBytes(output, encodePicture(image));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velkit: encode: %s\n", error.what());
        return 1;
    }
    return 0;
}

VELKIT_COMMAND(encode, "encode IN OUT.wmj [--size WxH]",
               "encodes a PNG, JPEG or PPM picture into the show's picture format (--size scales and centre-crops)",
               run_encode);
