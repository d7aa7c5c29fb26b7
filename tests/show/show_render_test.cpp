// velkit render's frames: the player's show_frame at a music time, with the
// previous slot's picture underneath, against the decoder's own pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "kit/render/show_render.h"
#include "tests/show/show_fixture.h"

namespace {

// Largest difference over the picture area (rows 128 .. 127 + rows) between
// the frame and weight x top + (1 - weight) x under.
int largest_error(const RgbImage& frame, const RgbImage& top, double weight, const RgbImage& under, int rows) {
    int worst = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 1024; ++x)
            for (int c = 0; c < 3; ++c) {
                double want = top.pixel(x, y)[c] * weight + under.pixel(x, y)[c] * (1 - weight);
                worst = std::max(worst, int(std::abs(frame.pixel(x, 128 + y)[c] - want) + 0.5));
            }
    return worst;
}

}  // namespace

TEST(ShowRender, FramesMatchTheDecodersPixels) {
    ScratchDirectory dir;
    write_test_font();
    std::vector<RgbImage> decoded;
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> file = encode_test_picture(test_picture(i));
        decoded.push_back(decode_with_player(file));
        char name[64];
        std::snprintf(name, sizeof name, "data/images/%04d.wmj", (i + 1) * 100);
        dir.write(name, file);
    }
    const RgbImage black(1024, 512);
    RgbImage frame;
    std::string error;
    // ms = 0: the first slot begins at alpha 0.
    ASSERT_EQ(render_show_frame(2.5f, &frame, &error), RenderResult::rendered) << error;
    ASSERT_EQ(frame.width, 1024);
    ASSERT_EQ(frame.height, 768);
    EXPECT_EQ(largest_error(frame, black, 1.0, black, 512), 0);
    // ms = 3250: the first picture at half intensity.
    ASSERT_EQ(render_show_frame(5.75f, &frame, &error), RenderResult::rendered) << error;
    EXPECT_LE(largest_error(frame, decoded[0], 0.5, black, 512), 2);
    // ms = 6000: the first picture opaque under the second, which starts at 0.
    ASSERT_EQ(render_show_frame(8.5f, &frame, &error), RenderResult::rendered) << error;
    EXPECT_LE(largest_error(frame, decoded[0], 1.0, black, 512), 2);
    // ms = 9250: half way from the first to the second.
    ASSERT_EQ(render_show_frame(11.75f, &frame, &error), RenderResult::rendered) << error;
    EXPECT_LE(largest_error(frame, decoded[1], 0.5, decoded[0], 512), 2);
    // The third slot has no picture: the show is over.
    EXPECT_EQ(render_show_frame(14.5f, &frame, &error), RenderResult::show_over);
}
