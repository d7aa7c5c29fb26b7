// Picture files, scaling and collages of the kit.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <string>

#include "kit/image/collage.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "test_pictures.h"

TEST(ImageFiles, PngAndPpmAreLossless) {
    const RgbImage original = noisePicture(37, 23, 1);
    const RgbImage fromPng = decodePng(encodePng(original));
    EXPECT_EQ(fromPng.width, 37);
    EXPECT_EQ(fromPng.height, 23);
    EXPECT_EQ(fromPng.rgb, original.rgb);
    const RgbImage fromPpm = decodePpm(encodePpm(original));
    EXPECT_EQ(fromPpm.width, 37);
    EXPECT_EQ(fromPpm.rgb, original.rgb);
}

TEST(ImageFiles, PpmHeaderWithComments) {
    const std::string header = "P6\n# made by hand\n2 1\n# still the header\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    const uint8_t pixels[6] = {1, 2, 3, 250, 251, 252};
    bytes.insert(bytes.end(), pixels, pixels + 6);
    const RgbImage image = decodePpm(bytes);
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 1);
    EXPECT_EQ(image.rgb, std::vector<uint8_t>(pixels, pixels + 6));
}

TEST(ImageFiles, BrokenFilesAreErrors) {
    std::vector<uint8_t> ppm = encodePpm(flatPicture(8, 8, 1, 2, 3));
    ppm.resize(ppm.size() - 1);
    EXPECT_THROW(decodePpm(ppm), std::runtime_error);
    const std::string sixteenBit = "P6 2 2 65535\n";
    EXPECT_THROW(decodePpm(std::vector<uint8_t>(sixteenBit.begin(), sixteenBit.end())), std::runtime_error);
    std::vector<uint8_t> png = encodePng(flatPicture(16, 16, 1, 2, 3));
    png.resize(png.size() / 2);
    EXPECT_THROW(decodePng(png), std::runtime_error);
    std::vector<uint8_t> jpeg = encodeJpeg(flatPicture(16, 16, 1, 2, 3), 80);
    EXPECT_THROW(decodeJpeg(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)), std::runtime_error);
    // Cut inside the coded data: libjpeg would only warn and pad with grey.
    jpeg = encodeJpeg(noisePicture(64, 64, 3), 90);
    EXPECT_NO_THROW(decodeJpeg(jpeg));
    EXPECT_THROW(decodeJpeg(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2))),
                 std::runtime_error);
}

TEST(ImageFiles, JpegRoundTripIsClose) {
    const RgbImage original = smoothPicture(96, 64, 2);
    const RgbImage decoded = decodeJpeg(encodeJpeg(original, 95));
    ASSERT_EQ(decoded.width, 96);
    ASSERT_EQ(decoded.height, 64);
    EXPECT_GE(lumaPsnr(original, decoded), 38.0);
}

TEST(ImageFiles, FileTypeComesFromContentAndExtension) {
    char pattern[] = "/tmp/velkit_image_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string directory = pattern;
    const RgbImage original = gradientPicture(40, 30);
    // A PNG named .ppm is still read as PNG.
    writeFileBytes(directory + "/misnamed.ppm", encodePng(original));
    EXPECT_EQ(readImageFile(directory + "/misnamed.ppm").rgb, original.rgb);
    writeImageFile(directory + "/upper.PPM", original);
    EXPECT_EQ(readImageFile(directory + "/upper.PPM").rgb, original.rgb);
    EXPECT_THROW(writeImageFile(directory + "/x.tiff", original), std::runtime_error);
    writeFileBytes(directory + "/text.png", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    EXPECT_THROW(readImageFile(directory + "/text.png"), std::runtime_error);
    EXPECT_THROW(readImageFile(directory + "/absent.png"), std::runtime_error);
    EXPECT_EQ(fileExtension("a/b.c/photo.JPG"), ".jpg");
    EXPECT_EQ(fileExtension("a/b.c/photo"), "");
    std::system(("rm -rf '" + directory + "'").c_str());
}

TEST(Scaling, FlatStaysFlatAndSizesAreExact) {
    const RgbImage source = flatPicture(333, 217, 10, 128, 250);
    for (const auto& size : {std::pair<int, int>{1024, 512}, {64, 64}, {17, 300}}) {
        const RgbImage scaled = scaleAndCrop(source, size.first, size.second);
        EXPECT_EQ(scaled.width, size.first);
        EXPECT_EQ(scaled.height, size.second);
        EXPECT_EQ(maxSampleError(scaled, flatPicture(size.first, size.second, 10, 128, 250)), 0);
    }
}

TEST(Scaling, CropKeepsTheCentre) {
    // Three vertical bands red | green | blue; a square crop keeps green.
    RgbImage source(300, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) source.pixel(x, y)[x / 100] = 255;
    const RgbImage square = scaleAndCrop(source, 50, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 3; x < 47; ++x) {
            EXPECT_EQ(square.pixel(x, y)[0], 0);
            EXPECT_EQ(square.pixel(x, y)[1], 255);
            EXPECT_EQ(square.pixel(x, y)[2], 0);
        }
}

TEST(Scaling, ShrinkingFiltersFineDetail) {
    // One-pixel stripes average to grey when halved; point sampling would
    // keep black or white.
    RgbImage stripes(128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            for (int c = 0; c < 3; ++c) stripes.pixel(x, y)[c] = (x & 1) ? 255 : 0;
    const RgbImage half = scaleAndCrop(stripes, 64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 4; x < 60; ++x) EXPECT_NEAR(half.pixel(x, y)[0], 128, 2);
}

TEST(Scaling, EnlargingInterpolatesSmoothly) {
    const RgbImage ramp = gradientPicture(64, 64);
    const RgbImage big = scaleAndCrop(ramp, 256, 256);
    // Red rises from left to right in every row (Lanczos may ring at the ends).
    for (int x = 8; x < 248; ++x) EXPECT_LE(big.pixel(x, 100)[0], big.pixel(x + 1, 100)[0] + 1) << x;
    EXPECT_LT(big.pixel(8, 100)[0], 40);
    EXPECT_GT(big.pixel(247, 100)[0], 215);
}

TEST(Collage, TilesAppearInGridOrder) {
    const std::vector<RgbImage> pictures = {flatPicture(50, 50, 255, 0, 0), flatPicture(80, 20, 0, 255, 0),
                                            flatPicture(10, 90, 0, 0, 255), flatPicture(64, 64, 9, 9, 9)};
    const RgbImage collage = makeCollage(pictures, 2, 2, 1024, 512);
    ASSERT_EQ(collage.width, 1024);
    ASSERT_EQ(collage.height, 512);
    EXPECT_EQ(collage.pixel(10, 10)[0], 255);
    EXPECT_EQ(collage.pixel(1000, 10)[1], 255);
    EXPECT_EQ(collage.pixel(10, 500)[2], 255);
    EXPECT_EQ(collage.pixel(1000, 500)[0], 9);
    EXPECT_THROW(makeCollage(pictures, 3, 2, 1024, 512), std::invalid_argument);
}

TEST(Collage, PhotoCollageFromTheTestPhotographs) {
    const std::string photos = photoDirectory();
    if (photos.empty()) GTEST_SKIP() << "test photographs not found in " << VEL_TEST_DATA_DIR << "/photos";
    const RgbImage collage = makePhotoCollage(photos);
    EXPECT_EQ(collage.width, 1024);
    EXPECT_EQ(collage.height, 512);
    // Natural content: the four tiles differ from each other and from flat.
    const RgbImage topLeft = scaleAndCrop(readImageFile(photos + "/" + collagePhotoNames()[0]), 512, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(collage.pixel(x, y)[0], topLeft.pixel(x, y)[0]);
    EXPECT_LT(rgbPsnr(collage, flatPicture(1024, 512, 128, 128, 128)), 20.0);
}

namespace {

std::vector<uint8_t> writePngOfFormat(const std::vector<uint8_t>& samples, int width, int height, uint32_t format) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(width);
    png.height = png_uint_32(height);
    png.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, samples.data(), 0, nullptr));
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&png, bytes.data(), &size, 0, samples.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

}  // namespace

TEST(ImageFiles, GreyAndAlphaPngsBecomeRgb) {
    const RgbImage grey = decodePng(writePngOfFormat({0, 77, 200, 255}, 2, 2, PNG_FORMAT_GRAY));
    ASSERT_EQ(grey.width, 2);
    ASSERT_EQ(grey.height, 2);
    const uint8_t expectedGrey[4] = {0, 77, 200, 255};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(grey.rgb[size_t(3 * i + c)], expectedGrey[i]);
    // Opaque pixels keep their colour; a transparent one becomes black.
    const RgbImage alpha = decodePng(writePngOfFormat({10, 20, 30, 255, 200, 100, 50, 0}, 2, 1, PNG_FORMAT_RGBA));
    ASSERT_EQ(alpha.width, 2);
    EXPECT_EQ(alpha.rgb[0], 10);
    EXPECT_EQ(alpha.rgb[1], 20);
    EXPECT_EQ(alpha.rgb[2], 30);
    EXPECT_EQ(alpha.rgb[3], 0);
    EXPECT_EQ(alpha.rgb[4], 0);
    EXPECT_EQ(alpha.rgb[5], 0);
}
