// show_frame drawn off screen: pictures against the decoder's own pixels,
// the fade, the typed caption with its shadow, the loop cue, the end.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/show.h"
#include "audio/loop_mixer.h"
#include "font/unicode_font.h"
#include "tests/show/show_fixture.h"

namespace {

const int kTop = 128;  // the picture's first row at 1024 x 768
const float kCaptionY = 640.0f;

// The music time of the middle of show millisecond `ms`.
float time_at(int ms) { return float((ms + 2500 + 0.5) / 1000.0); }

std::string picture_name(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "data/images/%04d.wmj", (index + 1) * 100);
    return name;
}

// Largest difference between the frame's picture area and `expected`
// scaled by `weight` plus `under` scaled by 1 - weight (rows kTop .. kTop +
// rows - 1 of the frame).
int picture_error(const RgbImage& frame, const RgbImage& expected, double weight, const RgbImage* under, int rows) {
    int worst = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 1024; ++x)
            for (int c = 0; c < 3; ++c) {
                double want = expected.pixel(x, y)[c] * weight;
                if (under) want += under->pixel(x, y)[c] * (1 - weight);
                int got = frame.pixel(x, kTop + y)[c];
                worst = std::max(worst, int(std::abs(got - want) + 0.5));
            }
    return worst;
}

class ShowFrame : public ::testing::Test {
protected:
    void SetUp() override { write_test_font(); }

    // Pictures 0 .. count - 1 from test_picture, with their decoded pixels.
    void write_pictures(int count) {
        for (int i = 0; i < count; ++i) {
            std::vector<uint8_t> file = encode_test_picture(test_picture(i));
            decoded.push_back(decode_with_player(file));
            dir.write(picture_name(i), file);
        }
    }
    void write_black_pictures(int count) {
        std::vector<uint8_t> file = encode_test_picture(RgbImage(1024, 512));
        for (int i = 0; i < count; ++i) dir.write(picture_name(i), file);
    }
    void write_captions(const std::string& text) { dir.write("data/text/velandora.txt", text); }

    // The caption band drawn by the font itself: shadow, then text.
    static RgbImage reference_caption(SceneHarness& scene, const char16_t* text, float clear_grey = 0.0f) {
        glClearColor(clear_grey, clear_grey, clear_grey, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        app_state.font->draw_text(text, 11.0f, kCaptionY + 1.0f, 1.4f, 0x000000u, 0);
        app_state.font->draw_text(text, 10.0f, kCaptionY, 1.4f, 0xFFFFFFFFu, 0);
        return scene.pixels();
    }

    static int differing_pixels(const RgbImage& a, const RgbImage& b) {
        int count = 0;
        for (size_t i = 0; i < a.rgb.size(); i += 3)
            if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2]) ++count;
        return count;
    }
    static int bright_pixels(const RgbImage& image) {
        int count = 0;
        for (size_t i = 0; i < image.rgb.size(); i += 3) count += image.rgb[i] > 100;
        return count;
    }

    ScratchDirectory dir;
    std::vector<RgbImage> decoded;
};

}  // namespace

TEST_F(ShowFrame, NothingBeforeTheFirstSlot) {
    write_pictures(1);
    write_captions("Caption\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(1.0f);
    EXPECT_EQ(bright_pixels(scene.pixels()), 0);
    EXPECT_EQ(show_state.current_index, -1);
    EXPECT_EQ(app_state.mixer->slots[0].target_volume.load(), 0.0f);
    EXPECT_EQ(app_state.mixer->slots[1].target_volume.load(), 0.0f);
}

TEST_F(ShowFrame, FadeAgainstTheDecodersPixels) {
    write_pictures(2);
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    // ms = 0: slot 0 begins with alpha 0, so the picture area is black.
    scene.draw(2.5f);
    EXPECT_EQ(show_state.current_index, 0);
    EXPECT_EQ(show_state.previous_index, -1);
    RgbImage black(1024, 512);
    EXPECT_LE(picture_error(scene.pixels(), black, 1.0, nullptr, 512), 0);
    // ms = 3250: the first picture at half intensity.
    scene.draw(5.75f);
    EXPECT_LE(picture_error(scene.pixels(), decoded[0], 0.5, nullptr, 512), 2);
    // ms = 6000: the first picture opaque under the second at alpha 0.
    scene.draw(8.5f);
    EXPECT_EQ(show_state.previous_index, 0);
    EXPECT_EQ(show_state.current_index, 1);
    EXPECT_LE(picture_error(scene.pixels(), decoded[0], 1.0, nullptr, 512), 2);
    // ms = 9250: half way between the two.
    scene.draw(11.75f);
    EXPECT_LE(picture_error(scene.pixels(), decoded[1], 0.5, &decoded[0], 512), 2);
    EXPECT_FALSE(scene.ended());
}

TEST_F(ShowFrame, SkippedSlotLoadsOnlyTheNewPicture) {
    write_pictures(3);
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(1000));
    scene.draw(time_at(12000));  // slot 2, slot 1 never shown
    EXPECT_EQ(show_state.previous_index, 0);
    EXPECT_EQ(show_state.current_index, 2);
    EXPECT_LE(picture_error(scene.pixels(), decoded[0], 1.0, nullptr, 512), 2);
}

TEST_F(ShowFrame, EndsWithStatusZeroWhenTheFourthSlotBegins) {
    write_pictures(3);
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    for (int ms = 0; ms < 18000; ms += 1500) scene.draw(time_at(ms));
    scene.draw(time_at(17999));
    EXPECT_FALSE(scene.ended());
    scene.draw(time_at(18000));
    EXPECT_TRUE(scene.ended());
    EXPECT_EQ(scene.end_status(), 0);
}

TEST_F(ShowFrame, EmptyPictureFileEndsTheShow) {
    write_pictures(1);
    dir.write(picture_name(1), std::string());
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(100));
    EXPECT_FALSE(scene.ended());
    scene.draw(time_at(6000));
    EXPECT_TRUE(scene.ended());
}

TEST_F(ShowFrame, CorruptPictureShowsBlackAndTheShowGoesOn) {
    write_pictures(3);
    // A truncated copy of picture 1 stands in for it.
    std::vector<uint8_t> file = encode_test_picture(test_picture(1));
    file.resize(100);
    dir.write(picture_name(1), file);
    write_captions("zero\r\none\r\ntwo\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(3000));
    testing::internal::CaptureStderr();
    scene.draw(time_at(6000 + 5999));
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("data/images/0200.wmj"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_FALSE(scene.ended());
    // Nearly opaque black over picture 0.
    RgbImage black(1024, 512);
    EXPECT_LE(picture_error(scene.pixels(), black, 5499.0 / 5500.0, &decoded[0], 500), 2);
    // The next slot loads picture 2 over the black one.
    scene.draw(time_at(12000 + 3250));
    EXPECT_FALSE(scene.ended());
    EXPECT_LE(picture_error(scene.pixels(), decoded[2], 0.5, &black, 500), 2);
}

TEST_F(ShowFrame, PictureOfAnotherSizeShowsBlack) {
    write_pictures(1);
    RgbImage small(512, 256);
    for (auto& v : small.rgb) v = 200;
    dir.write(picture_name(0), encode_test_picture(small));
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    testing::internal::CaptureStderr();
    scene.draw(time_at(5999));
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("data/images/0100.wmj"), std::string::npos) << message;
    EXPECT_EQ(bright_pixels(scene.pixels()), 0);
    EXPECT_FALSE(scene.ended());
}

TEST_F(ShowFrame, CaptionTypedUpToTheCount) {
    write_black_pictures(1);
    write_captions("Velandora \xE9t\xE9 caption text here\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    for (int ms : {608, 1800, 3250, 4000}) {
        scene.draw(time_at(ms));
        RgbImage frame = scene.pixels();
        int typed = typed_characters(fade_alpha(ms));
        std::u16string expected = u"Velandora \u00E9t\u00E9 caption text here";
        expected.resize(std::min<size_t>(size_t(typed), expected.size()));
        RgbImage reference = reference_caption(scene, expected.c_str());
        EXPECT_EQ(differing_pixels(frame, reference), 0) << "ms " << ms << ", " << typed << " characters";
        EXPECT_GT(bright_pixels(frame), 0);
    }
}

TEST_F(ShowFrame, ShadowIsOnePixelDownAndRight) {
    write_black_pictures(1);
    write_captions("Shadow\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(5999), 0.0f);  // text on black: the shadow is invisible
    RgbImage text = scene.pixels();
    // Over a white background the black shadow shows where the text does not cover it.
    scene.draw(time_at(5999), 1.0f);
    RgbImage shadow = scene.pixels();
    int shadow_pixels = 0, wrong = 0;
    // Below the picture, where the background is the clear colour.
    for (int y = kTop + 512 + 1; y < 768; ++y)
        for (int x = 1; x < 1024; ++x) {
            // Where the text itself is drawn it hides the shadow; elsewhere the
            // shadow darkens exactly the pixels the text covers one up and left.
            if (text.pixel(x, y)[0] != 0) continue;
            bool text_before = text.pixel(x - 1, y - 1)[0] != 0;
            bool dark = shadow.pixel(x, y)[0] < 250;
            shadow_pixels += dark;
            if (dark != text_before) ++wrong;
        }
    EXPECT_GT(shadow_pixels, 20);
    EXPECT_EQ(wrong, 0);
}

// At the end of the slot the whole caption shows, cut at 50 characters, with
// every byte drawn as it is (no formatting of '%').
TEST_F(ShowFrame, FullCaptionIsItsFirstFiftyCharactersAsWritten) {
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += char('A' + i % 26);
    const std::string percent = "100% s%dr %s";
    for (const std::string& caption : {sixty, percent}) {
        SCOPED_TRACE(caption);
        write_black_pictures(1);
        write_captions(caption + "\r\n");
        SceneHarness scene;
        ASSERT_TRUE(scene.ready());
        scene.draw(time_at(5999));
        const RgbImage frame = scene.pixels();
        const std::u16string shown(caption.begin(), caption.begin() + std::min<size_t>(50, caption.size()));
        EXPECT_EQ(differing_pixels(frame, reference_caption(scene, shown.c_str())), 0);
        if (caption.size() > 50) {
            const std::u16string one_more(caption.begin(), caption.begin() + 51);
            EXPECT_GT(differing_pixels(frame, reference_caption(scene, one_more.c_str())), 0);
        }
    }
}

TEST_F(ShowFrame, MissingCaptionFileGivesNoCaption) {
    write_black_pictures(1);
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(5999));
    EXPECT_EQ(bright_pixels(scene.pixels()), 0);
    // No caption is never typing: the idle loop plays.
    EXPECT_EQ(app_state.mixer->slots[0].target_volume.load(), kLoopVolume);
    EXPECT_EQ(app_state.mixer->slots[1].target_volume.load(), 0.0f);
}

TEST_F(ShowFrame, LoopTargetsFollowTheTyping) {
    write_black_pictures(1);
    write_captions("AB CD\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    // typed = 0 (ms 500), 1, 2, 3, 5, 6 at the first millisecond of each count.
    const struct {
        int typed;
        bool active;
    } cases[] = {{0, false}, {1, true}, {2, true}, {3, false}, {4, true}, {5, true}, {6, false}, {20, false}};
    for (const auto& c : cases) {
        int ms = 0;
        while (typed_characters(fade_alpha(ms)) < c.typed) ++ms;
        scene.draw(time_at(ms));
        EXPECT_EQ(app_state.mixer->slots[1].target_volume.load(), c.active ? kLoopVolume : 0.0f) << c.typed;
        EXPECT_EQ(app_state.mixer->slots[0].target_volume.load(), c.active ? 0.0f : kLoopVolume) << c.typed;
    }
}

TEST_F(ShowFrame, PicturesPastTheCaptionTableHaveNoCaption) {
    // Slot 54 is reached directly (a skipped slot loads only its own picture);
    // the caption table has entries 0 to 53 only.
    std::vector<uint8_t> file = encode_test_picture(RgbImage(1024, 512));
    dir.write(picture_name(54), file);
    std::string text;
    for (int i = 0; i < 60; ++i) text += "Caption " + std::to_string(i) + "\r\n";
    write_captions(text);
    {
        SceneHarness scene;
        ASSERT_TRUE(scene.ready());
        scene.draw(time_at(54 * 6000 + 5999));
        EXPECT_EQ(show_state.current_index, 54);
        EXPECT_FALSE(scene.ended());
        EXPECT_EQ(bright_pixels(scene.pixels()), 0);
    }
    // Slot 53 still has its caption.
    dir.write(picture_name(53), file);
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(53 * 6000 + 5999));
    EXPECT_GT(bright_pixels(scene.pixels()), 0);
}
