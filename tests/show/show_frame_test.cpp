// show_frame drawn off screen in a show made in a fresh directory: pictures,
// the typed caption and its shadow, the loop cue, the end; and velkit
// render's frames against the decoder's pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "app/app_state.h"
#include "app/shell.h"
#include "app/show.h"
#include "audio/loop_mixer.h"
#include "codec/picture_decoder.h"
#include "font/unicode_font.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/font_baker/font_baker.h"
#include "kit/render/offscreen_gl.h"
#include "kit/render/show_render.h"
#include "lib/file_system.h"
#include "lib/stream.h"
#include "tests/support/scratch_directory.h"

namespace {

const RgbImage kBlack(1024, 512);

// A picture's file (seed -1: black; else smooth colour ramps that differ by
// seed) and what the player's decoder makes of it, made once per process.
struct TestPicture {
    std::vector<uint8_t> file;
    RgbImage decoded;
};

const TestPicture& test_picture(int seed) {
    static std::map<int, TestPicture> made;
    if (made.count(seed)) return made[seed];
    RgbImage image(1024, 512);
    for (int y = 0; y < 512 && seed >= 0; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = uint8_t(40 + (x * (seed + 1) / 8 + y / 4) % 180);
            p[1] = uint8_t(60 + (y * (seed + 2) / 6) % 160);
            p[2] = uint8_t(200 - (x / 6 + seed * 40) % 150);
        }
    TestPicture& picture = made[seed];
    picture.file = encodePicture(image);
    std::vector<uint8_t> copy = picture.file;
    MemoryStream stream(copy.data(), int32_t(copy.size()), 0);
    PictureBuffer buffer;
    PictureDecoder decoder;
    EXPECT_EQ(decoder.decode(stream, buffer), DecodeResult::decoded);
    picture.decoded = RgbImage(buffer.width, buffer.height);
    for (int i = 0; i < buffer.width * buffer.height; ++i)
        for (int c = 0; c < 3; ++c) picture.decoded.rgb[size_t(i) * 3 + size_t(c)] = buffer.pixels[i * 3 + 2 - c];
    return picture;
}

// "data/images/%04d.wmj" of the picture of slot `index`.
std::string picture_name(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "data/images/%04d.wmj", (index + 1) * 100);
    return name;
}

// Writes the test font, baked once per process, as data/fonts/batang.*.
void write_test_font() {
    static BakedFont font;
    std::string error;
    if (font.glyphs.empty()) {
        ASSERT_TRUE(bake_font(VEL_TEST_FONT, 20, &font, &error)) << error;
    }
    ASSERT_TRUE(write_baked_font(font, "data/fonts", "batang", &error)) << error;
}

// Largest difference between the frame's picture area (rows from 128) and
// weight x top + (1 - weight) x under over the picture's first `rows` rows.
int picture_error(const RgbImage& frame, const RgbImage& top, double weight, const RgbImage& under, int rows = 512) {
    int worst = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 1024; ++x)
            for (int c = 0; c < 3; ++c) {
                double want = top.pixel(x, y)[c] * weight + under.pixel(x, y)[c] * (1 - weight);
                worst = std::max(worst, int(std::abs(frame.pixel(x, 128 + y)[c] - want) + 0.5));
            }
    return worst;
}

int bright_pixels(const RgbImage& image) {
    int count = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3) count += image.rgb[i] > 100;
    return count;
}

// The music time of the middle of show millisecond `ms`.
float time_at(int ms) { return float((ms + 2500 + 0.5) / 1000.0); }

// The player's scene over the show in `dir`, in a hidden 1024 x 768 frame
// buffer, drawn as the frame driver does, with the end of the show observed.
class ShowFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(write_test_font());
        std::string error;
        ASSERT_TRUE(gl_.open(1024, 768, &error)) << error;
    }
    void TearDown() override {
        set_show_end_hook(nullptr);
        app_state.mixer = nullptr;
        delete app_state.font;
        app_state.font = nullptr;
    }
    // Starts the player's scene on what the directory holds.
    void start() {
        app_state = AppState();
        mountArchives();
        init_scene();
        resize_view(1024, 768);
        app_state.mixer = &mixer_;
        end_status_ = -1;
        set_show_end_hook([](int32_t status) { end_status_ = status; });
    }
    RgbImage draw(int ms, float clear_grey = 0.0f) {
        glClearColor(clear_grey, clear_grey, clear_grey, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushMatrix();
        show_frame(time_at(ms));
        glPopMatrix();
        return gl_.read_pixels();
    }
    // One frame at `ms` with stderr captured; its lines.
    std::string draw_capturing(int ms) {
        testing::internal::CaptureStderr();
        draw(ms);
        return testing::internal::GetCapturedStderr();
    }
    // The caption band drawn by the font itself: shadow, then text.
    RgbImage reference_caption(const std::u16string& text) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        app_state.font->draw_text(text.c_str(), 11.0f, 641.0f, 1.4f, 0x000000u, 0);
        app_state.font->draw_text(text.c_str(), 10.0f, 640.0f, 1.4f, 0xFFFFFFFFu, 0);
        return gl_.read_pixels();
    }
    // Whether the active (typing) loop is the one playing, checking both targets.
    bool typing() const {
        const float idle = mixer_.slots[0].target_volume.load(), active = mixer_.slots[1].target_volume.load();
        EXPECT_EQ(idle + active, kLoopVolume);
        return active == kLoopVolume;
    }

    ScratchDirectory dir;
    OffscreenGl gl_;
    LoopMixer mixer_;
    inline static int end_status_ = -1;
};

}  // namespace

// Nothing before the first slot; a picture the player cannot use (cut short,
// or of the wrong size) shows black with one line naming it, and the show
// goes on; a skipped slot loads only the new picture; an empty picture file
// ends the show with status 0 when its slot begins.
TEST_F(ShowFrame, SlotsFromBeforeTheFirstToTheEnd) {
    dir.write(picture_name(0), test_picture(0).file);
    dir.write(picture_name(1), encodePicture(RgbImage(512, 256)));
    dir.write(picture_name(2), test_picture(1).file);
    std::vector<uint8_t> truncated = test_picture(1).file;
    truncated.resize(100);
    dir.write(picture_name(3), truncated);
    dir.write(picture_name(4), test_picture(1).file);
    dir.write(picture_name(5), std::string());
    dir.write("data/text/velandora.txt", std::string("Caption\r\n"));
    start();
    EXPECT_EQ(bright_pixels(draw(-1500)), 0);
    EXPECT_EQ(show_state.current_index, -1);
    EXPECT_EQ(mixer_.slots[0].target_volume.load() + mixer_.slots[1].target_volume.load(), 0.0f);
    draw(3000);
    std::string message = draw_capturing(6000 + 5999);
    EXPECT_NE(message.find("data/images/0200.wmj"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    // Nearly opaque black over picture 0.
    EXPECT_LE(picture_error(gl_.read_pixels(), kBlack, 5499.0 / 5500.0, test_picture(0).decoded, 500), 2);
    message = draw_capturing(18000);  // slot 3 (cut short), slot 2 never shown
    EXPECT_NE(message.find("data/images/0400.wmj"), std::string::npos) << message;
    EXPECT_EQ(show_state.previous_index, 1);
    EXPECT_EQ(show_state.current_index, 3);
    EXPECT_EQ(picture_error(gl_.read_pixels(), kBlack, 1.0, kBlack, 500), 0);
    // The next slot loads its picture over the black one.
    EXPECT_LE(picture_error(draw(24000 + 3250), test_picture(1).decoded, 0.5, kBlack, 500), 2);
    draw(29999);
    EXPECT_EQ(end_status_, -1);
    draw(30000);
    EXPECT_EQ(end_status_, 0);
}

// Typed up to the count, each byte as written (no formatting of '%'), the
// shadow one pixel down and right; the active loop plays while the last
// character shown is being typed. At most 50 characters ever show; no file,
// no caption; pictures past the 54-entry table have none either.
TEST_F(ShowFrame, CaptionsAsTheShowTypesThem) {
    dir.write(picture_name(0), test_picture(-1).file);
    const std::string caption = "Velandora \xE9t\xE9 100% s%dr %s";
    const std::u16string units = u"Velandora \u00E9t\u00E9 100% s%dr %s";
    dir.write("data/text/velandora.txt", caption + "\r\n");
    start();
    // At the first millisecond of each typed count: 10 ends on a space, 26 on the last character.
    const struct {
        int count;
        bool typing;
    } counts[] = {{0, false}, {1, true}, {10, false}, {26, true}, {50, false}};
    for (const auto& [count, typing_then] : counts) {
        SCOPED_TRACE(count);
        int ms = 0;
        while (ms < 5999 && typed_characters(fade_alpha(ms)) < count) ++ms;
        const RgbImage frame = draw(ms);
        EXPECT_EQ(frame.rgb, reference_caption(units.substr(0, size_t(count))).rgb);
        EXPECT_EQ(bright_pixels(frame) > 0, count > 0);
        EXPECT_EQ(typing(), typing_then);
    }
    const RgbImage text = draw(5999, 0.0f);  // text on black: the shadow is invisible
    const RgbImage shadow = draw(5999, 1.0f);  // on white it darkens what the text covers one up and left
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

    std::u16string sixty;
    for (int i = 0; i < 60; ++i) sixty += char16_t('A' + i % 26);
    dir.write("data/text/velandora.txt", std::string(sixty.begin(), sixty.end()) + "\r\n");
    load_captions("data/text/velandora.txt");
    RgbImage frame = draw(5999);
    EXPECT_EQ(frame.rgb, reference_caption(sixty.substr(0, 50)).rgb);
    EXPECT_NE(frame.rgb, reference_caption(sixty.substr(0, 51)).rgb);
    EXPECT_TRUE(typing());  // fifty shown of fifty typed
    load_captions("data/text/none.txt");
    EXPECT_EQ(bright_pixels(draw(5999)), 0);
    EXPECT_FALSE(typing());

    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "Caption " + std::to_string(i) + "\r\n";
    dir.write("data/text/velandora.txt", lines);
    dir.write(picture_name(53), test_picture(-1).file);
    dir.write(picture_name(54), test_picture(-1).file);
    load_captions("data/text/velandora.txt");
    EXPECT_GT(bright_pixels(draw(53 * 6000 + 5999)), 0);
    EXPECT_EQ(bright_pixels(draw(54 * 6000 + 5999)), 0);
    EXPECT_EQ(show_state.current_index, 54);
    // Sixty lines loaded with the end hook set: a table written past its end
    // clobbers what lies after it, and the end must still be seen.
    draw(55 * 6000);
    EXPECT_EQ(end_status_, 0);
}

TEST(ShowRender, FramesMatchTheDecodersPixels) {
    ScratchDirectory dir;
    write_test_font();
    for (int i = 0; i < 2; ++i) dir.write(picture_name(i), test_picture(i).file);
    const RgbImage &first = test_picture(0).decoded, &second = test_picture(1).decoded;
    const struct {
        float time;  // ms 0, 3250, 6000, 9250
        int previous, current;
        const RgbImage &top, &under;
        double weight;
        int tolerance;
    } rows[] = {
        {2.5f, -1, 0, kBlack, kBlack, 1.0, 0},    // the first slot begins at alpha 0
        {5.75f, -1, 0, first, kBlack, 0.5, 2},    // the first picture at half intensity
        {8.5f, 0, 1, first, kBlack, 1.0, 2},      // opaque under the second at alpha 0
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
