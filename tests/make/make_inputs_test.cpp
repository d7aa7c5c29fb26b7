// What velkit make reads, as people have it: captions typed in UTF-8 turned
// into the player's Latin-1 CR LF lines; photos in every format with their
// EXIF orientation, decoded at reduced size, fitted, in natural order; songs
// in every common format decoded to the show's 44.1 kHz stereo.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "kit/make/caption_text.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"
#include "kit/make/show_maker.h"
#include "kit/make/song.h"
#include "test_media.h"
#include "tests/support/scratch_directory.h"

namespace {

// The baked Latin-1 font: glyphs for U+0020..U+007E and U+00A0..U+00FF.
bool latinFont(uint8_t byte) { return (byte >= 0x20 && byte <= 0x7E) || byte >= 0xA0; }

CaptionText convert(const std::string& utf8, int pictures = 10) {
    return convertCaptions(std::vector<uint8_t>(utf8.begin(), utf8.end()), "captions.txt", pictures, latinFont);
}

// A scratch folder for each test.
class Songs : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return scratch_.path() + "/" + name; }
    ScratchDirectory scratch_;
};

class Photos : public Songs {
protected:
    void SetUp() override {
        if (rocket.rgb.empty()) GTEST_SKIP() << "test photographs not found";
    }
    const RgbImage rocket = testPhoto("rocket.jpg");
};

}  // namespace

// Each line the player's Latin-1 with CR LF, or a refusal naming file, line,
// column and what is wrong; notes on mapped characters, warnings on lines
// too long, beyond the pictures or beyond the player's caption table.
TEST(CaptionText, ConvertsToLatin1CrLfLinesOrSaysWhatIsWrong) {
    const auto crlf = [](std::string text) {
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, "\r");
        return text;
    };
    std::string many, sixty = "short\n" + std::string(60, 'x') + "\nthree\n";
    for (int i = 0; i < 60; ++i) many += "caption " + std::to_string(i + 1) + "\n";
    const struct {
        std::string utf8;
        int pictures;
        std::string file;  // empty when refused
        size_t notes, warnings;
        std::vector<const char*> said;  // in the error, the notes or the warnings
    } cases[] = {
        {"\xEF\xBB\xBFone\r\ntwo\nthree\r\n\r\nfive", 10, "one\r\ntwo\r\nthree\r\n\r\nfive\r\n", 0, 0, {}},
        // “Quoted” — it’s… – done
        {"\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x80\x94 it\xE2\x80\x99s\xE2\x80\xA6 \xE2\x80\x93 done", 10,
         "\"Quoted\" - it's... - done\r\n", 6, 0, {"captions.txt:1: U+2026"}},
        {"Cafe\xCC\x81 au lait", 10, "Caf\xE9 au lait\r\n", 0, 0, {}},  // e + U+0301, composed
        {sixty + "four\n", 3, crlf(sixty), 0, 2,
         {"captions.txt:2: the caption has 60 characters", "captions.txt:4: 1 line beyond the 3 pictures"}},
        {many, 60, crlf(many), 0, 1, {"captions.txt:55: the player has captions for the first 54"}},
        {"Fine\nW \xC5\x81odzi nad rzek\xC4\x85\n", 10, "", 0, 0, {"captions.txt:2:3:", "U+0141"}},
        {"Fine\nW \xC5\x81odzi\n", 10, "", 0, 0, {"captions.txt:2:3:", "Latin-1"}},
        {"5 \xE2\x82\xAC", 10, "", 0, 0, {"captions.txt:1:3:", "EUR"}},  // the euro sign gets a hint
        {"tab\there", 10, "", 0, 0, {"captions.txt:1:4:", "no glyph"}},
        {"ok\nCaf\xE9\n", 10, "", 0, 0, {"captions.txt:2:4:", "UTF-8"}},  // a Latin-1 file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8.substr(0, 40));
        const CaptionText text = convert(c.utf8, c.pictures);
        std::string said = text.error + "\n";
        for (const std::vector<std::string>* lines : {&text.notes, &text.warnings})
            for (const std::string& line : *lines) said += line + "\n";
        EXPECT_EQ(text.error.empty(), !c.file.empty()) << said;
        if (!c.file.empty()) {
            EXPECT_EQ(captionFileBytes(text.lines), c.file);
        }
        EXPECT_EQ(text.notes.size(), c.notes) << said;
        EXPECT_EQ(text.warnings.size(), c.warnings) << said;
        for (const char* part : c.said) EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
    }
}

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
    // Turned right (6), the stored bottom-left pixel is at the top left of a 2 x 3 picture.
    const struct {
        int orientation, width, topLeft, bottomRight;
    } cases[] = {{1, 3, 0, 5}, {2, 3, 2, 3}, {3, 3, 5, 0}, {4, 3, 3, 2},
                 {5, 2, 0, 5}, {6, 2, 3, 2}, {7, 2, 5, 0}, {8, 2, 2, 3}};
    for (const auto& c : cases) {
        const RgbImage upright = orientImage(stored, c.orientation);
        ASSERT_EQ(upright.width, c.width) << c.orientation;
        ASSERT_EQ(upright.height, 6 / c.width) << c.orientation;
        EXPECT_EQ(upright.pixel(0, 0)[0], c.topLeft) << c.orientation;
        EXPECT_EQ(upright.pixel(upright.width - 1, upright.height - 1)[0], c.bottomRight) << c.orientation;
    }
    // 8 undoes 6; 5 and 7 undo themselves.
    EXPECT_EQ(orientImage(orientImage(stored, 6), 8).rgb, stored.rgb);
    for (int self : {5, 7}) EXPECT_EQ(orientImage(orientImage(stored, self), self).rgb, stored.rgb) << self;
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
    EXPECT_THROW(probePhoto(path("missing.jpg")), std::runtime_error);
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

TEST_F(Songs, EveryCommonFormatDecodesTo44100Stereo) {
    const struct {
        const char *file, *encoder;
        int rate, channels;
    } formats[] = {
        {"song.mp3", "libmp3lame", 44100, 2}, {"song.flac", "flac", 48000, 2},     {"song.wav", "pcm_s16le", 22050, 1},
        {"song.opus", "libopus", 48000, 2},   {"song.ogg", "libvorbis", 32000, 2}, {"song.m4a", "aac", 44100, 2},
    };
    int tested = 0;
    for (const auto& format : formats) {
        SCOPED_TRACE(format.file);
        if (!hasAudioEncoder(format.encoder)) {
            std::printf("no %s encoder in this FFmpeg: %s not tested\n", format.encoder, format.file);
            continue;
        }
        writeSong(path(format.file), format.encoder, 3.0, format.rate, format.channels);
        const DecodedAudio audio = decodeAudioFile(path(format.file));
        EXPECT_EQ(audio.sourceRate, format.rate);
        EXPECT_EQ(audio.sourceChannels, format.channels);
        EXPECT_NEAR(audio.seconds(), 3.0, 0.12);  // give or take the encoders' padding
        EXPECT_EQ(audio.keptFrames(), audio.frames);
        // The chord is there, at about its level (0.3 + 0.2 peak).
        const double level = rms(audio.samples, 44100, 2 * 44100);
        EXPECT_GT(level, 0.15 * 32768);
        EXPECT_LT(level, 0.5 * 32768);
        ++tested;
    }
    EXPECT_GE(tested, 3);
}
