// The rate-distortion optimised encoder: its cost models against the real
// coder and decoder, and quality and byte-budget control on real photographs.
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
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "test_pictures.h"

namespace {

// A test photograph scaled and cropped, or an empty picture when the photographs are absent.
RgbImage photo(const std::string& name, int width, int height) {
    const std::string directory = photoDirectory();
    if (directory.empty()) return RgbImage();
    return scaleAndCrop(readImageFile(directory + "/" + name), width, height);
}

#define REQUIRE_PHOTO(image) \
    if ((image).width == 0) GTEST_SKIP() << "test photographs absent (scripts/fetch-test-photos.sh)"

PictureEncodeOptions quality(int q) { return PictureEncodeOptions{q, 0}; }
PictureEncodeOptions budget(int64_t bytes) { return PictureEncodeOptions{kDefaultPictureQuality, bytes}; }

}  // namespace

// The model's weighted coefficient errors predict the squared error of the
// plane the decoder's own dequantisation and synthesis give back, and its
// bit count stays close to what the coder writes. Lambda 0 keeps the nearest
// levels: reconstructions lie at 0 and (m + 1/2) steps, so 1.5 is nearer
// than 0 from 0.75 steps on.
TEST(RateDistortion, ModelsPredictTheDecoderAndTheCoder) {
    const RgbImage image = photo("astronaut.png", 512, 256);
    REQUIRE_PHOTO(image);
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
    const RgbImage image = photo("chelsea.png", 512, 256);
    REQUIRE_PHOTO(image);
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
    const RgbImage image = photo("coffee.png", 512, 256);
    REQUIRE_PHOTO(image);
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
    try {
        encodePicture(image, budget(smallest - 1));
        FAIL() << "no error for a budget below the smallest picture";
    } catch (const PictureBudgetError& error) {
        EXPECT_EQ(error.smallestBytes(), smallest);
        EXPECT_NE(std::string(error.what()).find("388 bytes"), std::string::npos) << error.what();
    }
    // Exactly the smallest size: the flat grey picture; a little more buys a real picture.
    const std::vector<uint8_t> grey = encodePicture(image, budget(smallest));
    EXPECT_EQ(int64_t(grey.size()), smallest);
    const RgbImage greyPicture = roundTripBytes(grey, image.width, image.height);
    for (uint8_t sample : greyPicture.rgb) ASSERT_EQ(sample, 128);
    const std::vector<uint8_t> small = encodePicture(image, budget(smallest + 400));
    EXPECT_LE(int64_t(small.size()), smallest + 400);
    EXPECT_GT(lumaPsnr(image, roundTripBytes(small, 256, 128)), lumaPsnr(image, greyPicture) + 3.0);
}
