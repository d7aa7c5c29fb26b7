#include "kit/encoder/picture_encoder.h"

#include <string>

#include "codec/picture_decoder.h"
#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/bit_writer.h"
#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/coefficient_layout.h"
#include "kit/encoder/colour_planes.h"

namespace {

using namespace encoder;

// The decoder's fixed qualities: luma, then the two chroma planes.
const int kLumaQuality = 20;
const int kChromaQuality = 70;

void encodePlane(std::vector<double>& samples, int width, int height, int quality, const EncoderOptions& options,
                 BitWriter& out) {
    analyzePlane(samples, width, height);
    const std::vector<int16_t> coded = quantisePlane(samples, width, height, quality, options);
    encodePlaneCoefficients(coded, width, height, out);
}

}  // namespace

bool pictureSizeEncodable(int width, int height) {
    return width < 32768 && PictureDecoder::sizeSupported(width, height);
}

std::vector<uint8_t> encodePicture(const RgbImage& image, const EncoderOptions& options) {
    if (!pictureSizeEncodable(image.width, image.height))
        throw std::invalid_argument("cannot encode a " + std::to_string(image.width) + "x" +
                                    std::to_string(image.height) +
                                    " picture: width and height must be multiples of 64, at least 64, "
                                    "the height not above the width, at most 8192x8192 pixels in all");
    if (image.rgb.size() != size_t(image.width) * size_t(image.height) * 3)
        throw std::invalid_argument("pixel buffer does not match the picture size");
    encoder::ColourPlanes planes = encoder::toColourPlanes(image);
    encoder::BitWriter out;
    out.writeBits(uint32_t(image.width), 15);
    out.writeBits(uint32_t(image.height), 15);
    encodePlane(planes.luma, image.width, image.height, kLumaQuality, options, out);
    encodePlane(planes.orange, image.width, image.height, kChromaQuality, options, out);
    encodePlane(planes.green, image.width, image.height, kChromaQuality, options, out);
    return out.finish();
}
