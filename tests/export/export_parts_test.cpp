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

std::vector<uint8_t> filled(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> bgra;
    for (int i = 0; i < width * height; ++i) bgra.insert(bgra.end(), {b, g, r, 255});
    return bgra;
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
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
        const Converted out = convert(filled(32, 4, c.r, c.g, c.b), 32, 4);
        EXPECT_EQ(out.y, std::vector<uint8_t>(out.y.size(), c.y));
        EXPECT_EQ(out.u, std::vector<uint8_t>(out.u.size(), c.u));
        EXPECT_EQ(out.v, std::vector<uint8_t>(out.v.size(), c.v));
    }
}

// Against the defining equations in floating point, on noise 70 pixels wide
// (no multiple of any vector width), each chroma sample from its own 2x2 block.
TEST(BgraToI420, NoisyPixelsWithinRoundingOfTheEquations) {
    const int width = 70, height = 6;
    std::vector<uint8_t> bgra(size_t(width) * height * 4);
    srand(7);
    for (size_t i = 0; i < bgra.size(); ++i) bgra[i] = i % 4 == 3 ? 255 : uint8_t(rand() & 255);
    const Converted out = convert(bgra, width, height);
    // The mean of channel c over the s x s block at (x, y).
    auto mean = [&](int x, int y, int s, int c) {
        double sum = 0;
        for (int dy = 0; dy < s; ++dy)
            for (int dx = 0; dx < s; ++dx) sum += bgra[(size_t(y + dy) * width + x + dx) * 4 + c];
        return sum / (s * s);
    };
    auto luma = [&](int x, int y, int s) {
        return 0.2126 * mean(x, y, s, 2) + 0.7152 * mean(x, y, s, 1) + 0.0722 * mean(x, y, s, 0);
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_NEAR(out.y[size_t(y) * width + x], 16 + 219 * luma(x, y, 1) / 255, 0.51) << x << "," << y;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2) {
            const double l = luma(x, y, 2);
            const size_t at = size_t(y / 2) * width / 2 + x / 2;
            ASSERT_NEAR(out.u[at], 128 + 224 * (mean(x, y, 2, 0) - l) / 1.8556 / 255, 0.51) << x << "," << y;
            ASSERT_NEAR(out.v[at], 128 + 224 * (mean(x, y, 2, 2) - l) / 1.5748 / 255, 0.51) << x << "," << y;
        }
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
