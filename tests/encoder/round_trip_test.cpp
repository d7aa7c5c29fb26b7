// Encoder to the player's decoder: sizes, content and quality floors, and the
// decoder's pixels against the plain reference decoder on real pictures,
// whose runs and bit planes random bits rarely give.
#include <gtest/gtest.h>

#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "kit/image/picture_metrics.h"
#include "test_pictures.h"
#include "tests/codec/reference_decoder.h"

// On smooth content quantisation costs little, so a mismatch in any analysis
// stage (line groups, mirrored ends, column pass, region DCT and its scaling)
// shows as a large error; flat colours stay flat; full-range noise and
// saturated one-pixel patterns drive the coefficients to their largest values,
// and nothing may wrap around in the decoder's 16-bit planes.
TEST(PictureRoundTrip, QualityFloorsByContentAndTheReferencePixels) {
    RgbImage checks(128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) {
            const bool on = ((x + y) & 1) != 0;
            checks.pixel(x, y)[0] = checks.pixel(x, y)[2] = on ? 255 : 0;
            checks.pixel(x, y)[1] = on ? 0 : 255;
        }
    struct Case {
        std::string name;
        RgbImage image;
        double luma, rgb;
        int maxError;
    };
    std::vector<Case> cases = {{"gradient", gradientPicture(256, 128), 40.0, 0.0, 12},
                               {"noise", noisePicture(256, 128, 5), 15.0, 0.0, 255},
                               {"checks", checks, 0.0, 20.0, 255}};
    const int sizes[][2] = {{64, 64}, {128, 64}, {256, 128}, {192, 128}, {320, 64}, {128, 128}, {1024, 512}};
    uint32_t seed = 3;
    for (const auto& size : sizes)
        cases.push_back({"smooth " + std::to_string(size[0]) + "x" + std::to_string(size[1]),
                         smoothPicture(size[0], size[1], seed++), 40.0, 36.0, 24});
    const uint8_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {255, 0, 0},
                                  {0, 255, 255}, {12, 200, 99}, {255, 0, 255}};
    for (const auto& c : colours)
        cases.push_back({"flat " + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]),
                         flatPicture(128, 64, c[0], c[1], c[2]), 0.0, 0.0, 2});
    if (!photoDirectory().empty()) cases.push_back({"photo collage", makePhotoCollage(photoDirectory()), 32.0, 0.0, 255});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes;
        const RgbImage decoded = roundTrip(c.image, &bytes);
        if (c.luma > 0) {
            EXPECT_GE(lumaPsnr(c.image, decoded), c.luma);
        }
        if (c.rgb > 0) {
            EXPECT_GE(rgbPsnr(c.image, decoded), c.rgb);
        }
        EXPECT_LE(maxSampleError(c.image, decoded), c.maxError);
        EXPECT_EQ(decodePictureBytes(bytes).bgr, referenceDecode(bytes));
    }
}

TEST(PictureEncoder, RejectsSizesTheDecoderCannotTakeAndReportsTruncation) {
    EXPECT_FALSE(pictureSizeEncodable(100, 64));
    EXPECT_FALSE(pictureSizeEncodable(64, 128));  // taller than wide
    EXPECT_FALSE(pictureSizeEncodable(0, 0));
    EXPECT_TRUE(pictureSizeEncodable(1024, 512));
    EXPECT_THROW(encodePicture(flatPicture(100, 64, 0, 0, 0)), std::invalid_argument);
    EXPECT_THROW(encodePicture(flatPicture(64, 128, 0, 0, 0)), std::invalid_argument);
    RgbImage wrong(64, 64);
    wrong.rgb.resize(10);
    EXPECT_THROW(encodePicture(wrong), std::invalid_argument);
    std::vector<uint8_t> bytes = encodePicture(smoothPicture(128, 64, 2));
    bytes.resize(bytes.size() / 2);
    const DecodedPicture decoded = decodePictureBytes(bytes);
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.error.empty());
}

// The earlier encoder: its levels land where the decoder reads them (a
// smooth picture comes back close), nearer levels cost bytes, wider dead
// zones and dropping the lone +-1 of sparse blocks save them.
TEST(PictureEncoder, OptionsTradeQualityForSize) {
    const RgbImage original = noisePicture(128, 64, 8), smooth = smoothPicture(128, 64, 8);
    EncoderOptions nearest;
    nearest.lowDeadZone = nearest.highDeadZone = nearest.averageDeadZone = 0.75;
    nearest.sparseBlockLimit = 0;
    EncoderOptions coarse;
    coarse.lowDeadZone = coarse.highDeadZone = coarse.averageDeadZone = 2.0;
    coarse.roundingBias = 0.3;
    coarse.sparseBlockLimit = 10;
    std::vector<size_t> sizes;
    for (const EncoderOptions& options : {nearest, EncoderOptions(), coarse}) {
        const std::vector<uint8_t> bytes = encodePicture(original, options);
        EXPECT_GE(lumaPsnr(original, roundTripBytes(bytes, 128, 64)), 12.0);
        sizes.push_back(bytes.size());
    }
    EXPECT_GT(sizes[0], sizes[1]);
    EXPECT_GT(sizes[1], sizes[2]);
    const std::vector<uint8_t> bytes = encodePicture(smooth, nearest);
    EXPECT_LT(bytes.size(), sizes[0]);
    EXPECT_GE(lumaPsnr(smooth, roundTripBytes(bytes, 128, 64)), 40.0);
}
