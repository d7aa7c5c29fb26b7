// show_frame drawn off screen: pictures, the typed caption and shadow, loop
// cue, end; and velkit render's frames against the decoder's pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/app_state.h"
#include "app/show.h"
#include "audio/loop_mixer.h"
#include "font/unicode_font.h"
#include "kit/render/show_render.h"
#include "tests/show/show_fixture.h"

namespace {

// The music time of the middle of show millisecond `ms`.
float time_at(int ms) { return float((ms + 2500 + 0.5) / 1000.0); }

const RgbImage kBlack(1024, 512);

class ShowFrame : public ::testing::Test {
protected:
    void SetUp() override { write_test_font(); }

    void write_pictures(int count, int seed_of_all = 0) {
        for (int i = 0; i < count; ++i) dir.write(picture_name(i), test_picture_file(seed_of_all < 0 ? -1 : i));
    }
    void write_captions(const std::string& text) { dir.write("data/text/velandora.txt", text); }
    float idle_target() const { return app_state.mixer->slots[0].target_volume.load(); }
    float active_target() const { return app_state.mixer->slots[1].target_volume.load(); }

    // The caption band drawn by the font itself: shadow, then text.
    static RgbImage reference_caption(SceneHarness& scene, const std::u16string& text) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        app_state.font->draw_text(text.c_str(), 11.0f, 641.0f, 1.4f, 0x000000u, 0);
        app_state.font->draw_text(text.c_str(), 10.0f, 640.0f, 1.4f, 0xFFFFFFFFu, 0);
        return scene.pixels();
    }
    static int differing_pixels(const RgbImage& a, const RgbImage& b) {
        int count = 0;
        for (size_t i = 0; i < a.rgb.size(); i += 3)
            count += !std::equal(&a.rgb[i], &a.rgb[i] + 3, &b.rgb[i]);
        return count;
    }
    static int bright_pixels(const RgbImage& image) {
        int count = 0;
        for (size_t i = 0; i < image.rgb.size(); i += 3) count += image.rgb[i] > 100;
        return count;
    }
    // One frame at `ms` with stderr captured; its lines.
    std::string draw_capturing(SceneHarness& scene, int ms) {
        testing::internal::CaptureStderr();
        scene.draw(time_at(ms));
        return testing::internal::GetCapturedStderr();
    }

    ScratchDirectory dir;
};

}  // namespace

// Nothing before the first slot; a skipped slot loads only the new picture; an
// empty picture file ends the show with status 0 when its slot begins.
TEST_F(ShowFrame, SlotsFromBeforeTheFirstToTheEnd) {
    write_pictures(3);
    dir.write(picture_name(3), std::string());
    write_captions("Caption\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(1.0f);
    EXPECT_EQ(bright_pixels(scene.pixels()), 0);
    EXPECT_EQ(show_state.current_index, -1);
    EXPECT_EQ(idle_target(), 0.0f);
    EXPECT_EQ(active_target(), 0.0f);
    scene.draw(time_at(1000));
    scene.draw(time_at(12000));  // slot 2, slot 1 never shown
    EXPECT_EQ(show_state.previous_index, 0);
    EXPECT_EQ(show_state.current_index, 2);
    EXPECT_LE(picture_error(scene.pixels(), decoded_test_picture(0), 1.0, kBlack, 500), 2);
    scene.draw(time_at(17999));
    EXPECT_FALSE(scene.ended());
    scene.draw(time_at(18000));
    EXPECT_TRUE(scene.ended());
    EXPECT_EQ(scene.end_status(), 0);
}

// A picture the player cannot use shows black, with one line naming it.
TEST_F(ShowFrame, CorruptOrWrongSizedPicturesShowBlackAndTheShowGoesOn) {
    write_pictures(3);
    std::vector<uint8_t> truncated = test_picture_file(1);
    truncated.resize(100);
    dir.write(picture_name(1), truncated);
    RgbImage small(512, 256);
    std::fill(small.rgb.begin(), small.rgb.end(), 200);
    dir.write(picture_name(3), encode_test_picture(small));
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    scene.draw(time_at(3000));
    std::string message = draw_capturing(scene, 6000 + 5999);
    EXPECT_NE(message.find("data/images/0200.wmj"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    // Nearly opaque black over picture 0.
    EXPECT_LE(picture_error(scene.pixels(), kBlack, 5499.0 / 5500.0, decoded_test_picture(0), 500), 2);
    // The next slot loads picture 2 over the black one.
    scene.draw(time_at(12000 + 3250));
    EXPECT_LE(picture_error(scene.pixels(), decoded_test_picture(2), 0.5, kBlack, 500), 2);
    message = draw_capturing(scene, 18000 + 5999);
    EXPECT_NE(message.find("data/images/0400.wmj"), std::string::npos) << message;
    EXPECT_LE(picture_error(scene.pixels(), kBlack, 5499.0 / 5500.0, decoded_test_picture(2), 500), 2);
    EXPECT_FALSE(scene.ended());
}

// Typed up to the count; the shadow one pixel down and right of the text.
TEST_F(ShowFrame, CaptionTypedUpToTheCountWithItsShadow) {
    write_pictures(1, -1);
    write_captions("Velandora \xE9t\xE9 caption text here\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    for (int ms : {608, 1800, 3250, 4000}) {
        scene.draw(time_at(ms));
        RgbImage frame = scene.pixels();
        std::u16string expected = u"Velandora \u00E9t\u00E9 caption text here";
        expected.resize(std::min<size_t>(size_t(typed_characters(fade_alpha(ms))), expected.size()));
        EXPECT_EQ(differing_pixels(frame, reference_caption(scene, expected)), 0) << "ms " << ms;
        EXPECT_GT(bright_pixels(frame), 0);
    }
    scene.draw(time_at(5999), 0.0f);  // text on black: the shadow is invisible
    const RgbImage text = scene.pixels();
    scene.draw(time_at(5999), 1.0f);  // on white it darkens what the text covers one up and left
    const RgbImage shadow = scene.pixels();
    int shadow_pixels = 0, wrong = 0;
    for (int y = 128 + 512 + 1; y < 768; ++y)
        for (int x = 1; x < 1024; ++x) {
            if (text.pixel(x, y)[0] != 0) continue;  // the text hides the shadow
            bool dark = shadow.pixel(x, y)[0] < 250;
            shadow_pixels += dark;
            wrong += dark != (text.pixel(x - 1, y - 1)[0] != 0);
        }
    EXPECT_GT(shadow_pixels, 20);
    EXPECT_EQ(wrong, 0);
}

// At the end of the slot the whole caption shows, cut at 50 characters, with
// every byte drawn as it is (no formatting of '%'); no file, no caption.
TEST_F(ShowFrame, FullCaptionIsItsFirstFiftyCharactersAsWritten) {
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += char('A' + i % 26);
    write_pictures(1, -1);
    for (const std::string& caption : {std::string(), sixty, std::string("100% s%dr %s")}) {
        SCOPED_TRACE(caption);
        if (!caption.empty()) write_captions(caption + "\r\n");
        SceneHarness scene;
        ASSERT_TRUE(scene.ready());
        scene.draw(time_at(5999));
        const RgbImage frame = scene.pixels();
        const std::u16string shown(caption.begin(), caption.begin() + std::min<size_t>(50, caption.size()));
        EXPECT_EQ(differing_pixels(frame, reference_caption(scene, shown)), 0);
        if (caption.size() > 50) {
            EXPECT_GT(differing_pixels(frame, reference_caption(scene, std::u16string(shown + u"Y"))), 0);
        }
        // Fifty shown of fifty typed is still typing; anything shorter is done.
        EXPECT_EQ(active_target(), caption.size() >= 50 ? kLoopVolume : 0.0f);
        EXPECT_EQ(idle_target(), caption.size() >= 50 ? 0.0f : kLoopVolume);
    }
}

TEST_F(ShowFrame, LoopTargetsFollowTheTyping) {
    write_pictures(1, -1);
    write_captions("AB CD\r\n");
    SceneHarness scene;
    ASSERT_TRUE(scene.ready());
    // At the first millisecond of each typed count; 3 ends on the space.
    const struct {
        int typed;
        bool active;
    } cases[] = {{0, false}, {1, true}, {3, false}, {5, true}, {6, false}, {20, false}};
    for (const auto& c : cases) {
        int ms = 0;
        while (typed_characters(fade_alpha(ms)) < c.typed) ++ms;
        scene.draw(time_at(ms));
        EXPECT_EQ(active_target(), c.active ? kLoopVolume : 0.0f) << c.typed;
        EXPECT_EQ(idle_target(), c.active ? 0.0f : kLoopVolume) << c.typed;
    }
}

// The caption table has entries 0 to 53 only; slot 54 is reached directly.
TEST_F(ShowFrame, PicturesPastTheCaptionTableHaveNoCaption) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "Caption " + std::to_string(i) + "\r\n";
    write_captions(text);
    for (int slot : {53, 54}) {
        dir.write(picture_name(slot), test_picture_file(-1));
        SceneHarness scene;
        ASSERT_TRUE(scene.ready());
        scene.draw(time_at(slot * 6000 + 5999));
        EXPECT_EQ(show_state.current_index, slot);
        EXPECT_FALSE(scene.ended());
        EXPECT_EQ(bright_pixels(scene.pixels()) > 0, slot == 53) << slot;
        if (slot == 53) continue;
        // Sixty lines loaded with the end hook set: a table written past its
        // end clobbers what lies after it, and the end must still be seen.
        load_captions("data/text/velandora.txt");
        scene.draw(time_at(55 * 6000));
        EXPECT_TRUE(scene.ended());
        EXPECT_EQ(scene.end_status(), 0);
    }
}

TEST(ShowRender, FramesMatchTheDecodersPixels) {
    ScratchDirectory dir;
    write_test_font();
    for (int i = 0; i < 2; ++i) dir.write(picture_name(i), test_picture_file(i));
    const RgbImage black(1024, 512), &first = decoded_test_picture(0), &second = decoded_test_picture(1);
    const struct {
        float time;  // ms 0, 3250, 6000, 9250
        int previous, current;
        const RgbImage &top, &under;
        double weight;
        int tolerance;
    } rows[] = {
        {2.5f, -1, 0, black, black, 1.0, 0},      // the first slot begins at alpha 0
        {5.75f, -1, 0, first, black, 0.5, 2},     // the first picture at half intensity
        {8.5f, 0, 1, first, black, 1.0, 2},       // opaque under the second at alpha 0
        {11.75f, 0, 1, second, first, 0.5, 2},    // half way from the first to the second
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.time);
        RgbImage frame;
        std::string error;
        ASSERT_EQ(render_show_frame(row.time, &frame, &error), RenderResult::rendered) << error;
        ASSERT_EQ(frame.width, 1024);
        ASSERT_EQ(frame.height, 768);
        EXPECT_EQ(show_state.previous_index, row.previous);
        EXPECT_EQ(show_state.current_index, row.current);
        EXPECT_LE(picture_error(frame, row.top, row.weight, row.under), row.tolerance);
    }
    // The third slot has no picture: the show is over.
    RgbImage frame;
    std::string error;
    EXPECT_EQ(render_show_frame(14.5f, &frame, &error), RenderResult::show_over);
}
