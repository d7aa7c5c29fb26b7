// velkit decode: a show picture into PNG, PPM or the decoder's raw BGR bytes.
#include <cstdio>
#include <exception>
#include <string>

#include "kit/command.h"
#include "kit/encoder/picture_decoding.h"
#include "kit/image/image_file.h"

static int run_decode(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "velkit: usage: velkit decode IN.wmj OUT.png|OUT.ppm|OUT.bgr\n");
        return 1;
    }
    const std::string input = argv[1], output = argv[2];
    const std::string extension = fileExtension(output);
    if (extension != ".png" && extension != ".ppm" && extension != ".bgr") {
        std::fprintf(stderr, "velkit: decode: %s: output must end in .png, .ppm or .bgr\n", output.c_str());
        return 1;
    }
    try {
        const DecodedPicture picture = decodePictureBytes(readFileBytes(input));
        if (!picture.ok) {
            std::fprintf(stderr, "velkit: decode: %s: %s\n", input.c_str(), picture.error.c_str());
            return 1;
        }
        if (extension == ".bgr")
            writeFileBytes(output, picture.bgr);
        else
            writeImageFile(output, toRgbImage(picture));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velkit: decode: %s\n", error.what());
        return 1;
    }
    return 0;
}

VELKIT_COMMAND(decode, "decode IN.wmj OUT",
               "decodes a show picture to OUT.png, OUT.ppm (binary RGB) or OUT.bgr (the decoder's raw bytes)",
               run_decode);
