// Photos as velkit make reads them: every format, EXIF orientation and
// dates, reduced-size decoding, the two fits and the natural order.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"
#include "kit/make/show_maker.h"
#include "test_media.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

class Photos : public ::testing::Test {
protected:
    void SetUp() override {
        rocket = testPhoto("rocket.jpg");
        if (rocket.rgb.empty()) GTEST_SKIP() << "test photographs not found";
        directory_ = make_temp_directory("velkit_photos");
    }
    void TearDown() override {
        if (!directory_.empty()) fs::remove_all(directory_);
    }
    std::string path(const std::string& name) const { return directory_ + "/" + name; }
    std::string directory_;
    RgbImage rocket;
};

}  // namespace

TEST(NaturalOrder, NumbersCompareAsNumbers) {
    const struct {
        const char *a, *b;
    } ordered[] = {{"IMG_2.jpg", "IMG_10.jpg"}, {"IMG_9.jpg", "IMG_0010.jpg"}, {"a.jpg", "B.jpg"},
                   {"photo.jpg", "photo 2.jpg"}, {"x/IMG_2.jpg", "x/IMG_100.jpg"}};
    for (const auto& c : ordered) {
        EXPECT_TRUE(naturalLess(c.a, c.b)) << c.a << " < " << c.b;
        EXPECT_FALSE(naturalLess(c.b, c.a)) << c.b << " < " << c.a;
    }
    // Equal as people read them, still a fixed order.
    EXPECT_NE(naturalLess("IMG_02.jpg", "IMG_2.jpg"), naturalLess("IMG_2.jpg", "IMG_02.jpg"));
}

TEST(Orientation, EveryExifOrientationTurnsThePictureUpright) {
    // A 3 x 2 picture of numbered pixels: 0 1 2 / 3 4 5.
    RgbImage stored(3, 2);
    for (int i = 0; i < 6; ++i) stored.pixel(i % 3, i / 3)[0] = uint8_t(i);
    // Turned right (6), the stored bottom-left pixel is at the top left.
    const RgbImage right = orientImage(stored, 6);
    ASSERT_EQ(right.width, 2);
    ASSERT_EQ(right.height, 3);
    EXPECT_EQ(right.pixel(1, 0)[0], 0);
    EXPECT_EQ(right.pixel(0, 2)[0], 5);
    const struct {
        int orientation, topLeft;
    } corners[] = {{6, 3}, {8, 2}, {3, 5}, {2, 2}};
    for (const auto& c : corners) EXPECT_EQ(orientImage(stored, c.orientation).pixel(0, 0)[0], c.topLeft) << c.orientation;
    // 8 undoes 6; 5 and 7 undo themselves.
    EXPECT_EQ(orientImage(orientImage(stored, 6), 8).rgb, stored.rgb);
    EXPECT_EQ(orientImage(orientImage(stored, 5), 5).rgb, stored.rgb);
    EXPECT_EQ(orientImage(orientImage(stored, 7), 7).rgb, stored.rgb);
}

TEST_F(Photos, EveryFormatIsReadUpright) {
    const RgbImage coffee = testPhoto("coffee.png"), even = scaleAndCrop(rocket, 640, 426);
    std::string heicError;
    const struct {
        const char* name;
        std::function<bool()> write;  // false: no encoder for it here
        RgbImage upright;
        PhotoFormat format;
        double psnr;
    } cases[] = {
        // A phone held upright stores the landscape picture and tags it "turn right".
        {"portrait.jpg", [&] { return writeExifJpeg(path("portrait.jpg"), coffee, 6, "2021:06:01 12:34:56"), true; },
         orientImage(coffee, 6), PhotoFormat::jpeg, 30},
        {"rocket.png", [&] { return writeImageFile(path("rocket.png"), rocket), true; }, rocket, PhotoFormat::png, 30},
        {"rocket.webp", [&] { return writeWebp(path("rocket.webp"), rocket); }, rocket, PhotoFormat::webp, 30},
        // Even sizes: libheif encodes only those with some encoders.
        {"rocket.heic", [&] { return writeHeic(path("rocket.heic"), even, &heicError); }, even, PhotoFormat::heif, 28},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.write()) {
            std::printf("no encoder for %s here (%s): not tested\n", c.name, heicError.c_str());
            continue;
        }
        const PhotoInfo info = probePhoto(path(c.name));
        EXPECT_EQ(info.format, c.format);
        EXPECT_EQ(info.width, c.upright.width);
        EXPECT_EQ(info.height, c.upright.height);
        EXPECT_EQ(info.hasTakenTime, c.format == PhotoFormat::jpeg);
        EXPECT_GT(rgbPsnr(c.upright, decodePhoto(info, 1.0)), c.psnr);
    }
    // WebP decodes straight to a reduced size.
    EXPECT_EQ(decodePhoto(probePhoto(path("rocket.webp")), 0.5).width, 320);
}

TEST_F(Photos, LargeJpegIsDecodedAtReducedSize) {
    const std::string wallpaper = wallpaperPath();
    if (wallpaper.empty()) GTEST_SKIP() << "wallpaper photograph not found";
    const PhotoInfo info = probePhoto(wallpaper);
    EXPECT_EQ(info.width, 6028);
    EXPECT_EQ(info.height, 3391);
    // DCT scaling at 2/8: 1507 x 848, enough for the 1507 x 753 the crop keeps.
    const RgbImage reduced = decodePhoto(info, fitSourceScale(PictureFit::crop, info.width, info.height));
    EXPECT_EQ(reduced.width, 1507);
    EXPECT_EQ(reduced.height, 848);
    // The show picture from it matches the one from the full-size decode.
    EXPECT_GT(rgbPsnr(fitPicture(decodePhoto(info, 1.0), PictureFit::crop), fitPicture(reduced, PictureFit::crop)),
              35.0);
}

TEST(PictureFit, CropFillsAndBlurShowsTheWholePicture) {
    const RgbImage coffee = testPhoto("coffee.png");
    if (coffee.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    const RgbImage portrait = orientImage(coffee, 6);  // 400 x 600
    const RgbImage cropped = fitPicture(portrait, PictureFit::crop), blurred = fitPicture(portrait, PictureFit::blur);
    EXPECT_EQ(cropped.width, 1024);
    EXPECT_EQ(cropped.height, 512);
    ASSERT_EQ(blurred.width, 1024);
    ASSERT_EQ(blurred.height, 512);
    // Blur: the picture at full height (341 x 512) in the middle ...
    RgbImage middle(341, 512);
    for (int y = 0; y < 512; ++y) std::memcpy(middle.pixel(0, y), blurred.pixel(341, y), 341 * 3);
    EXPECT_GT(rgbPsnr(resampleRegion(portrait, 0, 0, 400, 600, 341, 512), middle), 40.0);
    // ... over a darker backdrop at the sides.
    double sides = 0, centre = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 300; ++x)
            sides += blurred.pixel(x, y)[0] + blurred.pixel(1023 - x, y)[0], centre += 2 * blurred.pixel(362 + x, y)[0];
    EXPECT_LT(sides, centre * 0.75);
}
