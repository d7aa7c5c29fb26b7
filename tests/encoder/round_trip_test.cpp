// Encoder to the player's decoder: sizes, content and quality floors.
#include <gtest/gtest.h>

#include <cmath>

#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "kit/image/picture_metrics.h"
#include "test_pictures.h"

TEST(PictureRoundTrip, HeaderCarriesTheSize) {
    std::vector<uint8_t> bytes;
    roundTrip(flatPicture(1024, 512, 128, 128, 128), &bytes);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0x08);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x08);
    EXPECT_EQ(bytes[3] & 0xFC, 0x00);
}

TEST(PictureRoundTrip, SmoothPicturesOfEverySupportedShape) {
    // The forward transform must invert the decoder's synthesis: on smooth
    // content quantisation costs little, so a mismatch in any analysis stage
    // (lines, mirrored ends, second-level DCT, layout) shows as a large error;
    // the dead zones alone cost a few levels at most.
    const int sizes[][2] = {{64, 64}, {128, 64}, {256, 128}, {192, 128}, {320, 64}, {128, 128}, {1024, 512}};
    uint32_t seed = 3;
    for (const auto& size : sizes) {
        const RgbImage original = smoothPicture(size[0], size[1], seed++);
        const RgbImage decoded = roundTrip(original);
        EXPECT_GE(lumaPsnr(original, decoded), 40.0) << size[0] << "x" << size[1];
        EXPECT_GE(rgbPsnr(original, decoded), 36.0) << size[0] << "x" << size[1];
        EXPECT_LE(maxSampleError(original, decoded), 24) << size[0] << "x" << size[1];
    }
}

TEST(PictureRoundTrip, FlatColoursStayFlat) {
    const uint8_t colours[][3] = {{0, 0, 0},     {255, 255, 255}, {128, 128, 128}, {255, 0, 0},
                                  {0, 255, 255}, {12, 200, 99},   {255, 0, 255}};
    for (const auto& c : colours) {
        const RgbImage original = flatPicture(128, 64, c[0], c[1], c[2]);
        const RgbImage decoded = roundTrip(original);
        EXPECT_LE(maxSampleError(original, decoded), 2) << int(c[0]) << "," << int(c[1]) << "," << int(c[2]);
    }
}

TEST(PictureRoundTrip, GradientsKeepTheirShape) {
    const RgbImage original = gradientPicture(256, 128);
    const RgbImage decoded = roundTrip(original);
    EXPECT_GE(lumaPsnr(original, decoded), 40.0);
    EXPECT_LE(maxSampleError(original, decoded), 12);
}

TEST(PictureRoundTrip, NoiseDecodesWithinTheQuantiserLimits) {
    // Full-range noise is the worst case for coefficient magnitudes: nothing
    // may wrap around in the decoder's 16-bit planes.
    const RgbImage original = noisePicture(256, 128, 5);
    std::vector<uint8_t> bytes;
    const RgbImage decoded = roundTrip(original, &bytes);
    EXPECT_GE(lumaPsnr(original, decoded), 15.0);
    EXPECT_GT(bytes.size(), 256u * 128u / 2);  // noise cannot be coded cheaply
}

TEST(PictureRoundTrip, SaturatedFinePatternsDoNotWrap) {
    // Alternating extreme colours drive the highest frequencies to their
    // largest values.
    RgbImage original(128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) {
            uint8_t* p = original.pixel(x, y);
            const bool on = ((x + y) & 1) != 0;
            p[0] = on ? 255 : 0;
            p[1] = on ? 0 : 255;
            p[2] = on ? 255 : 0;
        }
    const RgbImage decoded = roundTrip(original);
    EXPECT_GE(rgbPsnr(original, decoded), 20.0);
}

TEST(PictureRoundTrip, SmallerFilesForSimplerPictures) {
    std::vector<uint8_t> flat, smooth, noise;
    roundTrip(flatPicture(256, 128, 40, 90, 200), &flat);
    roundTrip(smoothPicture(256, 128, 9), &smooth);
    roundTrip(noisePicture(256, 128, 9), &noise);
    EXPECT_LT(flat.size(), smooth.size());
    EXPECT_LT(smooth.size(), noise.size());
}

TEST(PictureRoundTrip, PhotoCollageMeetsTheQualityFloor) {
    const std::string photos = photoDirectory();
    if (photos.empty()) GTEST_SKIP() << "test photographs not found in " << VEL_TEST_DATA_DIR << "/photos";
    const RgbImage original = makePhotoCollage(photos);
    std::vector<uint8_t> bytes;
    const RgbImage decoded = roundTrip(original, &bytes);
    const double psnr = lumaPsnr(original, decoded);
    EXPECT_GE(psnr, 32.0);
    // A lossy codec: far below the raw size.
    EXPECT_LT(bytes.size(), size_t(1024) * 512 * 3 / 4);
    std::printf("photo collage: %zu bytes, luma PSNR %.2f dB\n", bytes.size(), psnr);
}

TEST(PictureEncoder, RejectsSizesTheDecoderCannotTake) {
    EXPECT_FALSE(pictureSizeEncodable(100, 64));
    EXPECT_FALSE(pictureSizeEncodable(64, 128));  // taller than wide
    EXPECT_FALSE(pictureSizeEncodable(0, 0));
    EXPECT_TRUE(pictureSizeEncodable(1024, 512));
    EXPECT_THROW(encodePicture(flatPicture(100, 64, 0, 0, 0)), std::invalid_argument);
    EXPECT_THROW(encodePicture(flatPicture(64, 128, 0, 0, 0)), std::invalid_argument);
    RgbImage wrong(64, 64);
    wrong.rgb.resize(10);
    EXPECT_THROW(encodePicture(wrong), std::invalid_argument);
}

TEST(PictureEncoder, TruncatedFilesAreReportedByTheDecoder) {
    std::vector<uint8_t> bytes = encodePicture(smoothPicture(128, 64, 2));
    bytes.resize(bytes.size() / 2);
    const DecodedPicture decoded = decodePictureBytes(bytes);
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.error.empty());
}

TEST(PictureEncoder, OptionsTradeQualityForSize) {
    const RgbImage original = noisePicture(128, 64, 8);
    EncoderOptions nearest;
    nearest.lowDeadZone = nearest.highDeadZone = nearest.averageDeadZone = 0.75;
    nearest.sparseBlockLimit = 0;
    EncoderOptions coarse;
    coarse.lowDeadZone = coarse.highDeadZone = coarse.averageDeadZone = 2.0;
    coarse.roundingBias = 0.3;
    coarse.sparseBlockLimit = 10;
    const std::vector<uint8_t> fine = encodePicture(smoothPicture(128, 64, 8), nearest);
    for (const EncoderOptions& options : {nearest, EncoderOptions(), coarse}) {
        const std::vector<uint8_t> bytes = encodePicture(original, options);
        const DecodedPicture decoded = decodePictureBytes(bytes);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_GE(lumaPsnr(original, toRgbImage(decoded)), 12.0);
    }
    const size_t nearestSize = encodePicture(original, nearest).size();
    const size_t defaultSize = encodePicture(original, EncoderOptions()).size();
    const size_t coarseSize = encodePicture(original, coarse).size();
    EXPECT_GT(nearestSize, defaultSize);
    EXPECT_GT(defaultSize, coarseSize);
    EXPECT_LT(fine.size(), nearestSize);
}
