// The rate-distortion optimised encoder: its cost models against the real
// coder and decoder, quality and byte-budget control on real photographs, and
// the velkit encode options.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
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

// A test photograph scaled and cropped to width x height, or an empty picture
// when the photographs are absent.
RgbImage photo(const std::string& name, int width, int height) {
    const std::string directory = photoDirectory();
    if (directory.empty()) return RgbImage();
    return scaleAndCrop(readImageFile(directory + "/" + name), width, height);
}

#define REQUIRE_PHOTO(image) \
    if ((image).width == 0) GTEST_SKIP() << "test photographs absent (scripts/fetch-test-photos.sh)"

// Encodes, decodes with the player's decoder and measures.
struct Encoded {
    std::vector<uint8_t> bytes;
    RgbImage picture;
};

Encoded encodeAndDecode(const RgbImage& image, const PictureEncodeOptions& options) {
    Encoded result;
    result.bytes = encodePicture(image, options);
    const DecodedPicture decoded = decodePictureBytes(result.bytes);
    EXPECT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.width, image.width);
    EXPECT_EQ(decoded.height, image.height);
    result.picture = decoded.ok ? toRgbImage(decoded) : RgbImage(image.width, image.height);
    return result;
}

PictureEncodeOptions quality(int q) {
    PictureEncodeOptions options;
    options.quality = q;
    return options;
}

PictureEncodeOptions budget(int64_t bytes) {
    PictureEncodeOptions options;
    options.maxBytes = bytes;
    return options;
}

// The analysed luma plane of a picture, and the samples it came from.
struct LumaPlane {
    std::vector<double> samples, coefficients;
};

LumaPlane lumaPlaneOf(const RgbImage& image) {
    LumaPlane plane;
    plane.samples = encoder::toColourPlanes(image).luma;
    plane.coefficients = plane.samples;
    encoder::analyzePlane(plane.coefficients, image.width, image.height);
    return plane;
}

}  // namespace

// The model's weighted coefficient errors predict the squared error of the
// plane that the decoder's own dequantisation and synthesis give back.
TEST(RateDistortion, WeightedErrorsPredictTheDecodedPlane) {
    const RgbImage image = photo("astronaut.png", 512, 256);
    REQUIRE_PHOTO(image);
    const int w = image.width, h = image.height;
    const LumaPlane luma = lumaPlaneOf(image);
    const encoder::RdoPlane plane = encoder::prepareRdoPlane(luma.coefficients, w, h, 20, 1.0);
    for (double lambda : {0.0, 50.0, 800.0}) {
        const std::vector<int16_t> coded = encoder::quantiseRdo(plane, lambda);
        double predicted = 0.0;
        for (size_t k = 0; k < plane.place.size(); ++k) {
            const int level = std::abs(coded[plane.place[k]]);
            const double error = plane.magnitude[k] - (level ? level + 0.5 : 0.0);
            predicted += plane.weight[k] * error * error;
        }
        std::vector<int16_t> blocks(coded.size());
        dequantisePlaneInto(coded.data(), blocks.data(), w, h, 20);
        ASSERT_TRUE(synthesizePlane(blocks.data(), w, h));
        double actual = 0.0;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const double d = blocks[i] - luma.samples[i];
            actual += d * d;
        }
        EXPECT_NEAR(predicted / actual, 1.0, 0.1) << "lambda " << lambda;
    }
}

// The bit model that chooses the levels stays close to what the coder writes.
TEST(RateDistortion, ModelBitsFollowTheCoder) {
    const RgbImage image = photo("coffee.png", 512, 256);
    REQUIRE_PHOTO(image);
    const LumaPlane luma = lumaPlaneOf(image);
    const encoder::RdoPlane plane = encoder::prepareRdoPlane(luma.coefficients, image.width, image.height, 20, 1.0);
    for (double lambda : {10.0, 200.0, 3000.0}) {
        const std::vector<int16_t> coded = encoder::quantiseRdo(plane, lambda);
        encoder::BitWriter out;
        encoder::encodePlaneCoefficients(coded, image.width, image.height, out);
        double model = 0.0;
        std::vector<int16_t> levels(size_t(plane.groupSize));
        for (size_t first = 0; first < plane.place.size(); first += levels.size()) {
            for (size_t i = 0; i < levels.size(); ++i) levels[i] = int16_t(std::abs(coded[plane.place[first + i]]));
            model += encoder::modelGroupBits(levels.data(), plane.groupSize);
        }
        EXPECT_NEAR(model / double(out.bitCount()), 1.0, 0.15) << "lambda " << lambda;
    }
}

TEST(RateDistortion, LambdaZeroKeepsTheNearestLevels) {
    const RgbImage image = smoothPicture(128, 64, 5);
    const LumaPlane luma = lumaPlaneOf(image);
    const encoder::RdoPlane plane = encoder::prepareRdoPlane(luma.coefficients, 128, 64, 20, 1.0);
    const std::vector<int16_t> coded = encoder::quantiseRdo(plane, 0.0);
    for (size_t k = 0; k < plane.place.size(); ++k) {
        const double a = plane.magnitude[k];
        // Reconstructions lie at 0 and (m + 1/2) steps: 1.5 is nearer than 0
        // from 0.75 steps on.
        const int expected = a < 0.75 ? 0 : std::max(1, std::min(int(a), int(plane.limit[k])));
        ASSERT_EQ(std::abs(coded[plane.place[k]]), expected) << "magnitude " << a;
        if (expected) {
            ASSERT_EQ(coded[plane.place[k]] < 0, plane.negative[k] != 0);
        }
    }
}

TEST(PictureQuality, LambdaFallsAsQualityRises) {
    EXPECT_EQ(lambdaOfQuality(100), 0.0);
    for (int q = 1; q < 100; ++q) EXPECT_GT(lambdaOfQuality(q), lambdaOfQuality(q + 1)) << q;
    for (int q : {0, -3, 101}) {
        EXPECT_THROW(lambdaOfQuality(q), std::invalid_argument);
        EXPECT_THROW(encodePicture(flatPicture(64, 64, 1, 2, 3), quality(q)), std::invalid_argument);
    }
}

// On real photographs every quality decodes, and size and PSNR both grow
// with the quality.
TEST(PictureQuality, SizeAndPsnrGrowWithQualityOnPhotos) {
    for (const char* name : {"chelsea.png", "motorcycle_left.png"}) {
        const RgbImage image = photo(name, 512, 256);
        REQUIRE_PHOTO(image);
        size_t lastSize = 0;
        double lastPsnr = 0.0;
        for (int q : {1, 20, 40, 60, 75, 85, 95, 100}) {
            const Encoded encoded = encodeAndDecode(image, quality(q));
            const double psnr = lumaPsnr(image, encoded.picture);
            EXPECT_GT(encoded.bytes.size(), lastSize) << name << " quality " << q;
            // Near the top the format saturates: quality 100 (every level
            // nearest, bits free) gains nothing measurable over 95.
            if (q == 100)
                EXPECT_GT(psnr, lastPsnr - 0.01) << name << " quality " << q;
            else
                EXPECT_GT(psnr, lastPsnr) << name << " quality " << q;
            lastSize = encoded.bytes.size();
            lastPsnr = psnr;
        }
        EXPECT_EQ(encodePicture(image).size(), encodePicture(image, quality(kDefaultPictureQuality)).size());
    }
}

// At the size the earlier fixed-dead-zone encoder gave, the optimised levels
// give a better picture.
TEST(PictureQuality, BetterThanTheFixedDeadZonesAtTheirSize) {
    for (const char* name : {"astronaut.png", "rocket.jpg"}) {
        const RgbImage image = photo(name, 1024, 512);
        REQUIRE_PHOTO(image);
        const std::vector<uint8_t> fixed = encodePicture(image, EncoderOptions());
        const Encoded optimised = encodeAndDecode(image, budget(int64_t(fixed.size())));
        EXPECT_LE(optimised.bytes.size(), fixed.size());
        EXPECT_GT(lumaPsnr(image, optimised.picture), lumaPsnr(image, toRgbImage(decodePictureBytes(fixed))) + 0.2)
            << name;
    }
}

// Luma takes most of the bits, yet the colour must hold: at the size of the
// JPEG file (quality 75) of a colourful photo, the colour error (RGB PSNR) is
// not worse than JPEG's, and the luma no more than 0.5 dB behind (chelsea
// reaches the finest levels the format has below that size).
TEST(PictureQuality, ColourHoldsAgainstJpegAtItsSize) {
    for (const char* name : {"coffee.png", "chelsea.png"}) {
        const RgbImage image = photo(name, 1024, 512);
        REQUIRE_PHOTO(image);
        const std::vector<uint8_t> jpeg = encodeJpeg(image, 75);
        const RgbImage jpegPicture = decodeJpeg(jpeg);
        const Encoded ours = encodeAndDecode(image, budget(int64_t(jpeg.size())));
        EXPECT_GE(rgbPsnr(image, ours.picture), rgbPsnr(image, jpegPicture)) << name;
        EXPECT_GT(lumaPsnr(image, ours.picture), lumaPsnr(image, jpegPicture) - 0.5) << name;
    }
}

// A budget is never exceeded and is used nearly in full; more bytes never
// give a worse picture.
TEST(PictureBudget, FilesFitTheBudgetAndFillIt) {
    const RgbImage image = photo("coffee.png", 1024, 512);
    REQUIRE_PHOTO(image);
    const size_t largest = encodePicture(image, quality(100)).size();
    double lastPsnr = 0.0;
    for (int64_t bytes : {1500, 6000, 20000, 45000, 70000}) {
        ASSERT_LT(size_t(bytes), largest);
        const Encoded encoded = encodeAndDecode(image, budget(bytes));
        EXPECT_LE(int64_t(encoded.bytes.size()), bytes);
        EXPECT_GE(double(encoded.bytes.size()), 0.99 * double(bytes)) << bytes;
        const double psnr = lumaPsnr(image, encoded.picture);
        EXPECT_GT(psnr, lastPsnr) << bytes;
        lastPsnr = psnr;
    }
    // A budget above the best picture gives the best picture.
    EXPECT_EQ(encodePicture(image, budget(int64_t(largest) + 5000)), encodePicture(image, quality(100)));
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
    // Exactly the smallest size: the flat grey picture.
    const Encoded grey = encodeAndDecode(image, budget(smallest));
    EXPECT_EQ(int64_t(grey.bytes.size()), smallest);
    for (uint8_t sample : grey.picture.rgb) ASSERT_EQ(sample, 128);
    // A little more buys a real picture.
    const Encoded small = encodeAndDecode(image, budget(smallest + 400));
    EXPECT_LE(int64_t(small.bytes.size()), smallest + 400);
    EXPECT_GT(lumaPsnr(image, small.picture), lumaPsnr(image, grey.picture) + 3.0);
}

namespace {

class VelkitEncodeOptions : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkit_encode_options_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        writeImageFile(path("in.png"), smoothPicture(256, 128, 12));
    }
    void TearDown() override { std::system(("rm -rf '" + directory_ + "'").c_str()); }

    std::string path(const std::string& name) const { return directory_ + "/" + name; }

    int velkit(const std::string& arguments) {
        const std::string command =
            std::string(VELKIT_PATH) + " " + arguments + " 2>'" + path("stderr.txt") + "' >/dev/null";
        const int status = std::system(command.c_str());
        std::ifstream in(path("stderr.txt"));
        errors_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string encodeArguments(const std::string& options) {
        return "encode " + path("in.png") + " " + path("out.wmj") + " " + options;
    }

    std::string directory_;
    std::string errors_;
};

}  // namespace

TEST_F(VelkitEncodeOptions, QualityAndBudgetShapeTheFile) {
    ASSERT_EQ(velkit(encodeArguments("--quality 20")), 0) << errors_;
    const std::vector<uint8_t> low = readFileBytes(path("out.wmj"));
    ASSERT_EQ(velkit(encodeArguments("--quality 95")), 0) << errors_;
    const std::vector<uint8_t> high = readFileBytes(path("out.wmj"));
    EXPECT_LT(low.size(), high.size());
    EXPECT_EQ(high, encodePicture(readImageFile(path("in.png")), quality(95)));

    const size_t target = (low.size() + high.size()) / 2;
    ASSERT_EQ(velkit(encodeArguments("--max-bytes " + std::to_string(target))), 0) << errors_;
    const std::vector<uint8_t> fitted = readFileBytes(path("out.wmj"));
    EXPECT_LE(fitted.size(), target);
    EXPECT_TRUE(decodePictureBytes(fitted).ok);
}

TEST_F(VelkitEncodeOptions, BadOptionsExitWithAMessage) {
    const struct {
        const char* options;
        const char* message;
    } cases[] = {
        {"--quality 0", "--quality needs a whole number from 1 to 100"},
        {"--quality 101", "--quality needs a whole number from 1 to 100"},
        {"--quality 8.5", "--quality needs a whole number"},
        {"--quality high", "--quality needs a whole number"},
        {"--quality", "--quality needs a whole number"},
        {"--max-bytes 0", "--max-bytes needs a whole number of bytes above 0"},
        {"--max-bytes -40", "--max-bytes needs a whole number of bytes above 0"},
        {"--max-bytes 12k", "--max-bytes needs a whole number of bytes above 0"},
        {"--max-bytes", "--max-bytes needs a whole number of bytes above 0"},
        {"--quality 50 --max-bytes 9000", "--quality and --max-bytes exclude each other"},
        {"--max-bytes 9000 --quality 50", "--quality and --max-bytes exclude each other"},
        {"--speed 3", "unknown option '--speed'"},
        {"--max-bytes 387", "cannot fit a 256x128 picture into 387 bytes: the smallest such picture (flat grey) takes 388 bytes"},
    };
    for (const auto& c : cases) {
        std::remove(path("out.wmj").c_str());
        EXPECT_EQ(velkit(encodeArguments(c.options)), 1) << c.options;
        EXPECT_EQ(errors_.rfind("velkit: ", 0), 0u) << c.options << ": " << errors_;
        EXPECT_NE(errors_.find(c.message), std::string::npos) << c.options << ": " << errors_;
        EXPECT_FALSE(std::ifstream(path("out.wmj"))) << c.options << " left a file";
    }
}
