// The export's parts: its colour conversion (BT.709 limited range, chroma
// averaged over each 2x2 block), its clock, and the frames it draws only
// when their look changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "app/show.h"
#include "kit/export/bgra_to_i420.h"
#include "kit/export/export_clock.h"
#include "kit/export/offline_player.h"

namespace {

struct Converted {
    std::vector<uint8_t> y, u, v;
};

Converted convert(const std::vector<uint8_t>& bgra, int width, int height) {
    const size_t size = size_t(width) * height;
    Converted out{std::vector<uint8_t>(size), std::vector<uint8_t>(size / 4), std::vector<uint8_t>(size / 4)};
    bgra_to_i420(bgra.data(), width * 4, width, height,
                 {out.y.data(), out.u.data(), out.v.data(), width, width / 2, width / 2});
    return out;
}

}  // namespace

TEST(BgraToI420, PrimariesGetTheirStandardValues) {
    // Y, Cb, Cr of the primaries in 8-bit BT.709 studio range.
    const struct {
        uint8_t r, g, b, y, u, v;
    } cases[] = {
        {0, 0, 0, 16, 128, 128},     {255, 255, 255, 235, 128, 128}, {128, 128, 128, 126, 128, 128},
        {255, 0, 0, 63, 102, 240},   {0, 255, 0, 173, 42, 26},       {0, 0, 255, 32, 240, 118},
        {255, 255, 0, 219, 16, 138}, {0, 255, 255, 188, 154, 16},    {255, 0, 255, 78, 214, 230},
    };
    // Two rows 70 pixels wide (no multiple of any vector width), 2x2 block k in colour k % 9 ...
    const int width = 70, last = width / 2 - 1;
    std::vector<uint8_t> bgra(size_t(width) * 2 * 4, 255);
    auto put = [&](int x, int y, int k) {
        uint8_t* p = &bgra[(size_t(y) * width + x) * 4];
        p[0] = cases[k].b, p[1] = cases[k].g, p[2] = cases[k].r;
    };
    for (int x = 0; x < width; ++x) put(x, 0, x / 2 % 9), put(x, 1, x / 2 % 9);
    // ... but the last: red and cyan crosswise, grey on average.
    put(2 * last, 0, 3), put(2 * last + 1, 1, 3), put(2 * last + 1, 0, 7), put(2 * last, 1, 7);
    const Converted out = convert(bgra, width, 2);
    for (int k = 0; k < last; ++k) {
        const auto& c = cases[k % 9];
        SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b) << " at block " << k);
        for (int i : {2 * k, 2 * k + 1, width + 2 * k, width + 2 * k + 1}) EXPECT_EQ(out.y[size_t(i)], c.y);
        EXPECT_EQ(out.u[size_t(k)], c.u);
        EXPECT_EQ(out.v[size_t(k)], c.v);
    }
    EXPECT_EQ(std::vector<uint8_t>(out.y.begin() + 2 * last, out.y.begin() + width), (std::vector<uint8_t>{63, 188}));
    EXPECT_EQ(std::vector<uint8_t>(out.y.end() - 2, out.y.end()), (std::vector<uint8_t>{188, 63}));
    EXPECT_EQ(out.u[last], 128);
    EXPECT_EQ(out.v[last], 128);
}

TEST(ExportClock, VideoFramesOnTheMusicClock) {
    const struct {
        int64_t frame;
        int32_t fps;
        int64_t sample;
    } cases[] = {{0, 30, 0}, {1, 30, 1470}, {30, 30, 44100}, {1, 24, 1837}, {2, 24, 3675}, {7, 1, 308700}};
    for (const auto& c : cases) {
        EXPECT_EQ(frame_sample(c.frame, c.fps), c.sample) << c.frame << " at " << c.fps;
        EXPECT_EQ(frame_clock_bytes(c.frame, c.fps), int32_t(c.sample * 4));
    }
    // Through the player's own time conversion: frame 75 at 30 fps is the show's first millisecond.
    EXPECT_EQ(show_milliseconds(music_seconds(frame_clock_bytes(75, 30))), 0);
    EXPECT_EQ(show_milliseconds(music_seconds(frame_clock_bytes(615, 30))), 18000);
    // The ring renders 4096 frames ahead of the cursor, the cursor cut to 8 frames.
    const int64_t rendered[][2] = {{0, 4096}, {7, 4096}, {8, 4104}, {1470, 1464 + 4096}, {44100, 44096 + 4096}};
    for (const auto& r : rendered) EXPECT_EQ(rendered_by(r[0]), r[1]) << r[0];
}

// Every frame whose look matches the one before must be, pixel for pixel, the frame before.
TEST(FrameReuse, AnUnchangedLookDrawsTheSamePixels) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    char previous_directory[4096];
    ASSERT_NE(getcwd(previous_directory, sizeof previous_directory), nullptr);
    ASSERT_EQ(chdir(VEL_EXPORT_DEMO_DIR), 0);
    const int width = 320, height = 240, fps = 30;
    {
        OfflinePlayer player;
        player.open(width, height);
        std::vector<uint8_t> last(size_t(width) * height * 4), pixels(last.size());
        OfflinePlayer::Look last_look = {};
        int repeats = 0, changes = 0;
        // From before the first picture into the second slot's fade, where the caption is typed.
        for (int64_t frame = 0; frame < 2 * 30 + 75 + 180 + 15 + 60; ++frame) {
            const float time = music_seconds(frame_clock_bytes(frame, fps));
            ASSERT_TRUE(player.draw(time)) << frame;
            player.read_bgra(pixels.data());
            const OfflinePlayer::Look look = OfflinePlayer::look_at(time);
            if (frame > 0 && look == last_look) {
                ASSERT_EQ(pixels, last) << "frame " << frame;
                ++repeats;
            } else if (frame > 0 && pixels != last) {
                ++changes;
            }
            last_look = look;
            last.swap(pixels);
        }
        // 2.5 s before the show and 0.5 s at the start of each slot stand still.
        EXPECT_GE(repeats, 75 - 1 + 2 * 14);
        EXPECT_GT(changes, 100);  // the fades, which must be drawn
    }
    ASSERT_EQ(chdir(previous_directory), 0);
}
