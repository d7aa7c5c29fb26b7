// velkit render's frames, the previous slot underneath, against the decoder's pixels.
#include <gtest/gtest.h>

#include "app/show.h"
#include "kit/render/show_render.h"
#include "tests/show/show_fixture.h"

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
