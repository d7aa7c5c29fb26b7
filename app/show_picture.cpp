// Loading one picture of the show into the current pixel buffer.
#include <cstdio>

#include "app/show.h"
#include "codec/picture_decoder.h"
#include "font/strings.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

const uint32_t kOpaqueBlack = 0xFF000000u;

// Packs the decoder's blue, green, red bytes into words whose bytes in memory
// are red, green, blue, 255, reading them in order through a memory stream.
void pack_pixels(PictureBuffer& picture) {
    MemoryStream bytes(picture.pixels, kPictureWidth * kPictureHeight * 3, 0);
    bytes.seek(0);
    for (int32_t i = 0; i < kPictureWidth * kPictureHeight; ++i) {
        uint8_t b0 = 0, b1 = 0, b2 = 0;
        bytes.read(&b0, 1);
        bytes.read(&b1, 1);
        bytes.read(&b2, 1);
        show_state.picture_pixels[i] = 0xFF000000u | uint32_t(b0) << 16 | uint32_t(b1) << 8 | b2;
    }
}

void fill_black() {
    for (int32_t i = 0; i < kPictureWidth * kPictureHeight; ++i) show_state.picture_pixels[i] = kOpaqueBlack;
}

}  // namespace

bool load_show_picture(int32_t index) {
    String name;
    name.format("data/images/%04d.wmj", int((index + 1) * 100));
    Stream* stream = openFile(name.data);
    if (!stream) return false;
    if (stream->size() == 0) {
        delete stream;
        return false;
    }
    PictureBuffer picture;
    PictureDecoder decoder;
    DecodeResult result = decoder.decode(stream, picture);
    delete stream;
    if (result == DecodeResult::decoded && picture.width == kPictureWidth && picture.height == kPictureHeight) {
        pack_pixels(picture);
        return true;
    }
    // A fault in the show's data, not its end: the slot shows black.
    if (result == DecodeResult::decoded)
        std::fprintf(stderr, "velandora: %s: picture is %dx%d, not %dx%d; shown black\n", name.data,
                     int(picture.width), int(picture.height), int(kPictureWidth), int(kPictureHeight));
    else
        std::fprintf(stderr, "velandora: %s: %s picture; shown black\n", name.data, decodeResultName(result));
    fill_black();
    return true;
}
