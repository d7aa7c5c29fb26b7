#include "kit/encoder/picture_decoding.h"

#include <climits>

#include "codec/picture_decoder.h"
#include "lib/stream.h"

DecodedPicture decodePictureBytes(const std::vector<uint8_t>& bytes) {
    DecodedPicture out;
    if (bytes.empty()) {
        out.error = "the file is empty";
        return out;
    }
    if (bytes.size() > size_t(INT32_MAX)) {
        out.error = "the file is too large";
        return out;
    }
    // The stream only reads; it does not own the block.
    MemoryStream stream(const_cast<uint8_t*>(bytes.data()), int32_t(bytes.size()), 0);
    PictureBuffer picture;
    PictureDecoder decoder;
    const DecodeResult result = decoder.decode(stream, picture);
    switch (result) {
        case DecodeResult::decoded: break;
        case DecodeResult::truncated: out.error = "the picture data ends early"; return out;
        case DecodeResult::refused: out.error = "not a picture file of a supported size"; return out;
        case DecodeResult::corrupt: out.error = "the coded picture data is corrupt"; return out;
        default: out.error = std::string("cannot decode (") + decodeResultName(result) + ")"; return out;
    }
    out.ok = true;
    out.width = picture.width;
    out.height = picture.height;
    out.bgr.assign(picture.pixels, picture.pixels + size_t(picture.width) * size_t(picture.height) * 3);
    return out;
}

RgbImage toRgbImage(const DecodedPicture& picture) {
    RgbImage image(picture.width, picture.height);
    const size_t count = size_t(picture.width) * size_t(picture.height);
    for (size_t i = 0; i < count; ++i) {
        image.rgb[3 * i] = picture.bgr[3 * i + 2];
        image.rgb[3 * i + 1] = picture.bgr[3 * i + 1];
        image.rgb[3 * i + 2] = picture.bgr[3 * i];
    }
    return image;
}
