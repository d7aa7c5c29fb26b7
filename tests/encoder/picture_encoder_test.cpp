// The picture encoder to the player's decoder: quality floors by content and
// the decoder's pixels against the plain reference decoder, the encoder's
// limits, its cost models against the real coder and decoder, and quality
// and byte-budget control on real photographs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "codec/dequantise.h"
#include "codec/synthesis.h"
#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/bit_writer.h"
#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/colour_planes.h"
#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/encoder/rate_distortion.h"
#include "kit/image/collage.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "test_pictures.h"
#include "tests/codec/reference_decoder.h"

namespace {

PictureEncodeOptions quality(int q) { return PictureEncodeOptions{q, 0}; }
PictureEncodeOptions budget(int64_t bytes) { return PictureEncodeOptions{kDefaultPictureQuality, bytes}; }

}  // namespace

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
    if (!photoDirectory().empty()) cases.push_back({"collage", makePhotoCollage(photoDirectory()), 32.0, 0.0, 255});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = encodePicture(c.image);
        const RgbImage decoded = roundTripBytes(bytes, c.image.width, c.image.height);
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

// The 15-bit header holds widths below 32768, which the decoder's limits
// alone would allow; pictures the decoder refuses and buffers of another size
// are errors, and a cut or empty file does not decode.
TEST(PictureEncoder, RejectsWhatTheDecoderCannotTakeAndReportsTruncation) {
    EXPECT_TRUE(pictureSizeEncodable(32704, 64));
    EXPECT_FALSE(pictureSizeEncodable(32768, 64));
    EXPECT_THROW(encodePicture(flatPicture(64, 128, 0, 0, 0)), std::invalid_argument);
    RgbImage wrong(64, 64);
    wrong.rgb.resize(10);
    EXPECT_THROW(encodePicture(wrong), std::invalid_argument);
    std::vector<uint8_t> bytes = encodePicture(smoothPicture(128, 64, 2));
    bytes.resize(bytes.size() / 2);
    for (const DecodedPicture& decoded : {decodePictureBytes(bytes), decodePictureBytes({})}) {
        EXPECT_FALSE(decoded.ok);
        EXPECT_FALSE(decoded.error.empty());
    }
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
    EXPECT_GE(lumaPsnr(smooth, roundTripBytes(encodePicture(smooth, nearest), 128, 64)), 40.0);
}

// The model's weighted coefficient errors predict the squared error of the
// plane the decoder's own dequantisation and synthesis give back, and its
// bit count stays close to what the coder writes. Lambda 0 keeps the nearest
// levels: reconstructions lie at 0 and (m + 1/2) steps, so 1.5 is nearer
// than 0 from 0.75 steps on.
TEST(RateDistortion, ModelsPredictTheDecoderAndTheCoder) {
    if (photoDirectory().empty()) GTEST_SKIP() << "test photographs absent (scripts/fetch-test-photos.sh)";
    const RgbImage image = scaleAndCrop(readImageFile(photoDirectory() + "/astronaut.png"), 512, 256);
    const int w = image.width, h = image.height;
    const std::vector<double> samples = encoder::toColourPlanes(image).luma;
    std::vector<double> coefficients = samples;
    encoder::analyzePlane(coefficients, w, h);
    const encoder::RdoPlane plane = encoder::prepareRdoPlane(coefficients, w, h, 20, 1.0);
    for (double lambda : {0.0, 50.0, 800.0, 3000.0}) {
        SCOPED_TRACE("lambda " + std::to_string(lambda));
        const std::vector<int16_t> coded = encoder::quantiseRdo(plane, lambda);
        double predicted = 0.0;
        for (size_t k = 0; k < plane.place.size(); ++k) {
            const int level = std::abs(coded[plane.place[k]]);
            const double a = plane.magnitude[k];
            if (lambda == 0.0) {
                ASSERT_EQ(level, a < 0.75 ? 0 : std::max(1, std::min(int(a), int(plane.limit[k])))) << a;
                ASSERT_TRUE(level == 0 || (coded[plane.place[k]] < 0) == (plane.negative[k] != 0));
            }
            predicted += plane.weight[k] * (a - (level ? level + 0.5 : 0.0)) * (a - (level ? level + 0.5 : 0.0));
        }
        std::vector<int16_t> blocks(coded.size());
        dequantisePlaneInto(coded.data(), blocks.data(), w, h, 20);
        ASSERT_TRUE(synthesizePlane(blocks.data(), w, h));
        double actual = 0.0;
        for (size_t i = 0; i < blocks.size(); ++i) actual += (blocks[i] - samples[i]) * (blocks[i] - samples[i]);
        EXPECT_NEAR(predicted / actual, 1.0, 0.1);

        encoder::BitWriter out;
        encoder::encodePlaneCoefficients(coded, w, h, out);
        double model = 0.0;
        std::vector<int16_t> levels(size_t(plane.groupSize));
        for (size_t first = 0; first < plane.place.size(); first += levels.size()) {
            for (size_t i = 0; i < levels.size(); ++i) levels[i] = int16_t(std::abs(coded[plane.place[first + i]]));
            model += encoder::modelGroupBits(levels.data(), plane.groupSize);
        }
        EXPECT_NEAR(model / double(out.bitCount()), 1.0, 0.15);
    }
}

// Lambda falls as the quality rises; on a real photograph size and PSNR both grow with it.
TEST(PictureQuality, SizeAndPsnrGrowWithQuality) {
    EXPECT_EQ(lambdaOfQuality(100), 0.0);
    for (int q = 1; q < 100; ++q) EXPECT_GT(lambdaOfQuality(q), lambdaOfQuality(q + 1)) << q;
    for (int q : {0, -3, 101}) {
        EXPECT_THROW(lambdaOfQuality(q), std::invalid_argument);
        EXPECT_THROW(encodePicture(flatPicture(64, 64, 1, 2, 3), quality(q)), std::invalid_argument);
    }
    if (photoDirectory().empty()) GTEST_SKIP() << "test photographs absent (scripts/fetch-test-photos.sh)";
    const RgbImage image = scaleAndCrop(readImageFile(photoDirectory() + "/chelsea.png"), 512, 256);
    size_t lastSize = 0;
    double lastPsnr = 0.0;
    for (int q : {1, 20, 40, 60, kDefaultPictureQuality, 95, 100}) {
        const std::vector<uint8_t> bytes = encodePicture(image, quality(q));
        if (q == kDefaultPictureQuality) {
            EXPECT_EQ(encodePicture(image), bytes) << "the default quality";
        }
        const double psnr = lumaPsnr(image, roundTripBytes(bytes, image.width, image.height));
        EXPECT_GT(bytes.size(), lastSize) << "quality " << q;
        // Near the top the format saturates: quality 100 gains nothing measurable over 95.
        EXPECT_GT(psnr, lastPsnr - (q == 100 ? 0.01 : 0.0)) << "quality " << q;
        lastSize = bytes.size();
        lastPsnr = psnr;
    }
}

// A budget is never exceeded and is used nearly in full; more bytes never
// give a worse picture; above the best picture it gives the best picture.
// Luma takes most of the bits, yet the colour must hold: at the size of the
// JPEG file (quality 75) of a colourful photo, the colour error (RGB PSNR) is
// not worse than JPEG's, and the luma no more than 0.5 dB behind.
TEST(PictureBudget, FilesFitTheBudgetAndHoldTheColourAgainstJpeg) {
    if (photoDirectory().empty()) GTEST_SKIP() << "test photographs absent (scripts/fetch-test-photos.sh)";
    const RgbImage image = scaleAndCrop(readImageFile(photoDirectory() + "/coffee.png"), 512, 256);
    const std::vector<uint8_t> jpeg = encodeJpeg(image, 75);
    const RgbImage jpegPicture = decodeJpeg(jpeg);
    const std::vector<uint8_t> best = encodePicture(image, quality(100));
    double lastPsnr = 0.0;
    for (int64_t bytes : {int64_t(1500), int64_t(8000), int64_t(jpeg.size())}) {
        ASSERT_LT(size_t(bytes), best.size());
        const std::vector<uint8_t> encoded = encodePicture(image, budget(bytes));
        EXPECT_LE(int64_t(encoded.size()), bytes);
        EXPECT_GE(double(encoded.size()), 0.99 * double(bytes)) << bytes;
        const RgbImage picture = roundTripBytes(encoded, image.width, image.height);
        const double psnr = lumaPsnr(image, picture);
        EXPECT_GT(psnr, lastPsnr) << bytes;
        lastPsnr = psnr;
        if (bytes == int64_t(jpeg.size())) {
            EXPECT_GE(rgbPsnr(image, picture), rgbPsnr(image, jpegPicture));
            EXPECT_GT(psnr, lumaPsnr(image, jpegPicture) - 0.5);
        }
    }
    EXPECT_EQ(encodePicture(image, budget(int64_t(best.size()) + 5000)), best);
}

TEST(PictureBudget, BelowTheSmallestPictureIsAnError) {
    const RgbImage image = smoothPicture(256, 128, 3);
    const int64_t smallest = smallestPictureBytes(256, 128);
    EXPECT_EQ(smallest, 388);  // 30 header bits and 4 bits for each of 768 groups
    // Its message, as velkit encode prints it, is VelkitPictureCommands.EncodeFailuresExitWithAMessage's.
    EXPECT_THROW(encodePicture(image, budget(smallest - 1)), PictureBudgetError);
    // Exactly the smallest size: the flat grey picture; a little more buys a real picture.
    const std::vector<uint8_t> grey = encodePicture(image, budget(smallest));
    EXPECT_EQ(int64_t(grey.size()), smallest);
    const RgbImage greyPicture = roundTripBytes(grey, image.width, image.height);
    for (uint8_t sample : greyPicture.rgb) ASSERT_EQ(sample, 128);
    const std::vector<uint8_t> small = encodePicture(image, budget(smallest + 400));
    EXPECT_LE(int64_t(small.size()), smallest + 400);
    EXPECT_GT(lumaPsnr(image, roundTripBytes(small, 256, 128)), lumaPsnr(image, greyPicture) + 3.0);
}
