// Photos as velkit make reads them: every format, EXIF orientation and
// dates, reduced-size JPEG decoding, the two fits and the natural order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"
#include "kit/make/show_maker.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

class Photos : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkit_photos_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { fs::remove_all(directory_); }
    std::string path(const std::string& name) const { return directory_ + "/" + name; }
    std::string directory_;
};

RgbImage requirePhoto(const std::string& name) { return testPhoto(name); }

}  // namespace

TEST(NaturalOrder, NumbersCompareAsNumbers) {
    EXPECT_TRUE(naturalLess("IMG_2.jpg", "IMG_10.jpg"));
    EXPECT_FALSE(naturalLess("IMG_10.jpg", "IMG_2.jpg"));
    EXPECT_TRUE(naturalLess("IMG_9.jpg", "IMG_0010.jpg"));
    EXPECT_TRUE(naturalLess("a.jpg", "B.jpg"));
    EXPECT_TRUE(naturalLess("photo.jpg", "photo 2.jpg"));
    EXPECT_TRUE(naturalLess("x/IMG_2.jpg", "x/IMG_100.jpg"));
    // Same as people read them, still a fixed order.
    EXPECT_NE(naturalLess("IMG_02.jpg", "IMG_2.jpg"), naturalLess("IMG_2.jpg", "IMG_02.jpg"));
}

TEST(Orientation, EveryExifOrientationTurnsThePictureUpright) {
    // A 3 x 2 picture whose pixels are numbered; orientation 6 means the
    // stored picture must be turned right (clockwise) to be upright.
    RgbImage stored(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) stored.pixel(x, y)[0] = uint8_t(y * 3 + x);
    const RgbImage right = orientImage(stored, 6);
    ASSERT_EQ(right.width, 2);
    ASSERT_EQ(right.height, 3);
    // Turned right, the stored bottom-left pixel (3) is at the top left.
    EXPECT_EQ(right.pixel(0, 0)[0], 3);
    EXPECT_EQ(right.pixel(1, 0)[0], 0);
    EXPECT_EQ(right.pixel(0, 2)[0], 5);
    const RgbImage left = orientImage(stored, 8);
    EXPECT_EQ(left.pixel(0, 0)[0], 2);
    const RgbImage half = orientImage(stored, 3);
    EXPECT_EQ(half.pixel(0, 0)[0], 5);
    const RgbImage mirror = orientImage(stored, 2);
    EXPECT_EQ(mirror.pixel(0, 0)[0], 2);
    // Undoing: 6 then 8 is the stored picture again.
    EXPECT_EQ(orientImage(orientImage(stored, 6), 8).rgb, stored.rgb);
    EXPECT_EQ(orientImage(orientImage(stored, 5), 5).rgb, stored.rgb);
    EXPECT_EQ(orientImage(orientImage(stored, 7), 7).rgb, stored.rgb);
}

TEST_F(Photos, PortraitPhoneJpegIsReadUpright) {
    const RgbImage coffee = requirePhoto("coffee.png");
    if (coffee.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    // A phone held upright stores the sensor's landscape picture and tags it
    // "turn right" (orientation 6).
    writeExifJpeg(path("portrait.jpg"), coffee, 6, "2021:06:01 12:34:56");
    const PhotoInfo info = probePhoto(path("portrait.jpg"));
    EXPECT_EQ(info.format, PhotoFormat::jpeg);
    EXPECT_EQ(info.orientation, 6);
    EXPECT_EQ(info.storedWidth, 600);
    EXPECT_EQ(info.width, 400);
    EXPECT_EQ(info.height, 600);
    ASSERT_TRUE(info.hasTakenTime);
    int64_t expected = 0;
    ASSERT_TRUE(parseExifDateTime("2021:06:01 12:34:56", &expected));
    EXPECT_EQ(info.takenTime, expected);

    const RgbImage upright = decodePhoto(info, 1.0);
    ASSERT_EQ(upright.width, 400);
    ASSERT_EQ(upright.height, 600);
    EXPECT_GT(rgbPsnr(orientImage(coffee, 6), upright), 30.0);
}

TEST_F(Photos, LargeJpegIsDecodedAtReducedSize) {
    const std::string wallpaper = wallpaperPath();
    if (wallpaper.empty()) GTEST_SKIP() << "wallpaper photograph not found";
    const PhotoInfo info = probePhoto(wallpaper);
    EXPECT_EQ(info.width, 6028);
    EXPECT_EQ(info.height, 3391);
    const double scale = fitSourceScale(PictureFit::crop, info.width, info.height);
    const RgbImage reduced = decodePhoto(info, scale);
    // DCT scaling at 2/8: 1507 x 848, enough for 1024 x 512 (the crop
    // keeps 1507 x 753 of it), a sixteenth of the pixels.
    EXPECT_EQ(reduced.width, 1507);
    EXPECT_EQ(reduced.height, 848);
    EXPECT_GE(reduced.width * 512, 1024 * 512);
    // The show picture from it matches the one from the full-size decode.
    const RgbImage fromFull = fitPicture(decodePhoto(info, 1.0), PictureFit::crop);
    const RgbImage fromReduced = fitPicture(reduced, PictureFit::crop);
    EXPECT_GT(rgbPsnr(fromFull, fromReduced), 35.0);
}

TEST_F(Photos, PngWebpAndHeicAreRead) {
    const RgbImage rocket = requirePhoto("rocket.jpg");
    if (rocket.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    writeImageFile(path("rocket.png"), rocket);
    ASSERT_TRUE(writeWebp(path("rocket.webp"), rocket));
    const std::vector<std::string> names = {"rocket.png", "rocket.webp"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const PhotoInfo info = probePhoto(path(name));
        EXPECT_EQ(info.width, rocket.width);
        EXPECT_EQ(info.height, rocket.height);
        const RgbImage image = decodePhoto(info, 1.0);
        EXPECT_GT(rgbPsnr(rocket, image), 30.0);
    }
    // WebP decodes straight to a reduced size.
    const RgbImage half = decodePhoto(probePhoto(path("rocket.webp")), 0.5);
    EXPECT_EQ(half.width, 320);
    std::string error;
    // libheif encodes even sizes only with some encoders; use one.
    const RgbImage even = scaleAndCrop(rocket, 640, 426);
    if (!writeHeic(path("rocket.heic"), even, &error)) GTEST_SKIP() << "no HEIC encoder: " << error;
    const PhotoInfo heic = probePhoto(path("rocket.heic"));
    EXPECT_EQ(heic.format, PhotoFormat::heif);
    EXPECT_EQ(heic.width, 640);
    EXPECT_EQ(heic.height, 426);
    EXPECT_GT(rgbPsnr(even, decodePhoto(heic, 1.0)), 28.0);
}

TEST_F(Photos, DamagedAndForeignFilesAreClearErrors) {
    const RgbImage rocket = requirePhoto("rocket.jpg");
    if (rocket.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    writeExifJpeg(path("whole.jpg"), rocket, 0, "");
    std::vector<uint8_t> jpeg = readFileBytes(path("whole.jpg"));
    jpeg.resize(jpeg.size() / 2);
    writeFileBytes(path("cut.jpg"), jpeg);
    const PhotoInfo cut = probePhoto(path("cut.jpg"));  // the header is whole
    try {
        decodePhoto(cut, 1.0);
        ADD_FAILURE() << "a truncated JPEG decoded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("cut.jpg: "), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("truncated"), std::string::npos) << error.what();
    }
    writeFileBytes(path("notes.jpg"), {'h', 'e', 'l', 'l', 'o'});
    try {
        probePhoto(path("notes.jpg"));
        ADD_FAILURE() << "a text file was taken for a picture";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("notes.jpg: not a JPEG, PNG, WebP or HEIC"), std::string::npos)
            << error.what();
    }
    EXPECT_THROW(probePhoto(path("missing.jpg")), std::runtime_error);
}

TEST_F(Photos, FolderListingAndDateOrder) {
    const RgbImage rocket = requirePhoto("rocket.jpg");
    if (rocket.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    const RgbImage small = scaleAndCrop(rocket, 128, 96);
    // Names in one order, dates in the other.
    writeExifJpeg(path("IMG_2.jpg"), small, 1, "2022:01:03 10:00:00");
    writeExifJpeg(path("IMG_10.jpg"), small, 1, "2022:01:02 10:00:00");
    writeExifJpeg(path("IMG_100.JPG"), small, 1, "2022:01:01 10:00:00");
    writeFileBytes(path("notes.txt"), {'x'});
    writeFileBytes(path(".hidden.jpg"), {'x'});
    std::vector<std::string> skipped;
    const std::vector<std::string> files = listPictureFiles({directory_}, &skipped);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(fs::path(files[0]).filename(), "IMG_2.jpg");
    EXPECT_EQ(fs::path(files[1]).filename(), "IMG_10.jpg");
    EXPECT_EQ(fs::path(files[2]).filename(), "IMG_100.JPG");
    ASSERT_EQ(skipped.size(), 1u);
    std::vector<PhotoInfo> photos;
    for (const std::string& file : files) photos.push_back(probePhoto(file));
    sortPictures(photos, PictureOrder::date);
    EXPECT_EQ(fs::path(photos[0].path).filename(), "IMG_100.JPG");
    EXPECT_EQ(fs::path(photos[2].path).filename(), "IMG_2.jpg");
    sortPictures(photos, PictureOrder::name);
    EXPECT_EQ(fs::path(photos[0].path).filename(), "IMG_2.jpg");
}

TEST(PictureFit, CropFillsAndBlurShowsTheWholePicture) {
    const RgbImage coffee = testPhoto("coffee.png");
    if (coffee.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    const RgbImage portrait = orientImage(coffee, 6);  // 400 x 600
    const RgbImage cropped = fitPicture(portrait, PictureFit::crop);
    ASSERT_EQ(cropped.width, 1024);
    ASSERT_EQ(cropped.height, 512);
    const RgbImage blurred = fitPicture(portrait, PictureFit::blur);
    ASSERT_EQ(blurred.width, 1024);
    ASSERT_EQ(blurred.height, 512);
    // Blur: the picture at full height (341 x 512) in the middle ...
    const RgbImage whole = resampleRegion(portrait, 0, 0, 400, 600, 341, 512);
    RgbImage middle(341, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 341; ++x)
            for (int c = 0; c < 3; ++c) middle.pixel(x, y)[c] = blurred.pixel(341 + x, y)[c];
    EXPECT_GT(rgbPsnr(whole, middle), 40.0);
    // ... over a darker backdrop at the sides.
    double sides = 0, centre = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 300; ++x) sides += blurred.pixel(x, y)[0] + blurred.pixel(1023 - x, y)[0];
    for (int y = 0; y < 512; ++y)
        for (int x = 362; x < 662; ++x) centre += 2 * blurred.pixel(x, y)[0];
    EXPECT_LT(sides, centre * 0.75);
}
