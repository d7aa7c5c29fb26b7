// Picture files and scaling of the kit.
#include <gtest/gtest.h>

#include <string>

#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "test_pictures.h"
#include "tests/support/scratch_directory.h"

// PNG and PPM are lossless (PPM headers may hold comments), JPEG is close.
TEST(ImageFiles, PngAndPpmAreLosslessJpegIsClose) {
    const RgbImage original = noisePicture(37, 23, 1);
    for (const RgbImage& back : {decodePng(encodePng(original)), decodePpm(encodePpm(original))}) {
        EXPECT_EQ(back.width, 37);
        EXPECT_EQ(back.height, 23);
        EXPECT_EQ(back.rgb, original.rgb);
    }
    const std::string header = "P6\n# made by hand\n2 1\n# still the header\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    const std::vector<uint8_t> pixels = {1, 2, 3, 250, 251, 252};
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    const RgbImage commented = decodePpm(bytes);
    EXPECT_EQ(commented.width, 2);
    EXPECT_EQ(commented.height, 1);
    EXPECT_EQ(commented.rgb, pixels);
    const RgbImage smooth = smoothPicture(96, 64, 2);
    const RgbImage jpeg = decodeJpeg(encodeJpeg(smooth, 95));
    ASSERT_EQ(jpeg.width, 96);
    ASSERT_EQ(jpeg.height, 64);
    EXPECT_GE(lumaPsnr(smooth, jpeg), 38.0);

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

TEST(ImageFiles, FileTypeComesFromContentAndExtension) {
    ScratchDirectory directory;
    const std::string d = directory.path();
    const RgbImage original = gradientPicture(40, 30);
    writeFileBytes(d + "/misnamed.ppm", encodePng(original));  // still read as PNG
    EXPECT_EQ(readImageFile(d + "/misnamed.ppm").rgb, original.rgb);
    writeImageFile(d + "/upper.PPM", original);
    EXPECT_EQ(readImageFile(d + "/upper.PPM").rgb, original.rgb);
    EXPECT_THROW(writeImageFile(d + "/x.tiff", original), std::runtime_error);
    writeFileBytes(d + "/text.png", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    EXPECT_THROW(readImageFile(d + "/text.png"), std::runtime_error);
    const std::vector<uint8_t> png = encodePng(original);
    writeFileBytes(d + "/cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 40));
    EXPECT_THROW(readImageFile(d + "/cut.png"), std::runtime_error);
    EXPECT_THROW(readImageFile(d + "/absent.png"), std::runtime_error);
    EXPECT_EQ(fileExtension("a/b.c/photo.JPG"), ".jpg");
    EXPECT_EQ(fileExtension("a/b.c/photo"), "");
}

// Flat stays flat at exact sizes; a crop keeps the centre; shrinking filters
// one-pixel stripes to grey (point sampling would keep black or white);
// enlarging interpolates (Lanczos may ring at the ends).
TEST(Scaling, SizesCropAndFilters) {
    for (const auto& size : {std::pair<int, int>{1024, 512}, {64, 64}, {17, 300}}) {
        const RgbImage scaled = scaleAndCrop(flatPicture(333, 217, 10, 128, 250), size.first, size.second);
        EXPECT_EQ(scaled.width, size.first);
        EXPECT_EQ(scaled.height, size.second);
        EXPECT_EQ(maxSampleError(scaled, flatPicture(size.first, size.second, 10, 128, 250)), 0);
    }
    RgbImage bands(300, 100), stripes(128, 64);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) bands.pixel(x, y)[x / 100] = 255;
    const RgbImage square = scaleAndCrop(bands, 50, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 3; x < 47; ++x) ASSERT_EQ(std::vector<uint8_t>(square.pixel(x, y), square.pixel(x, y) + 3),
                                               (std::vector<uint8_t>{0, 255, 0})) << x << "," << y;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            for (int c = 0; c < 3; ++c) stripes.pixel(x, y)[c] = (x & 1) ? 255 : 0;
    const RgbImage half = scaleAndCrop(stripes, 64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 4; x < 60; ++x) EXPECT_NEAR(half.pixel(x, y)[0], 128, 2);
    const RgbImage big = scaleAndCrop(gradientPicture(64, 64), 256, 256);
    for (int x = 8; x < 248; ++x) EXPECT_LE(big.pixel(x, 100)[0], big.pixel(x + 1, 100)[0] + 1) << x;
    EXPECT_LT(big.pixel(8, 100)[0], 40);
    EXPECT_GT(big.pixel(247, 100)[0], 215);
}
