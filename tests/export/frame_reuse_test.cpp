// The export draws a frame only when its look changed: every frame whose look
// matches the one before must be, pixel for pixel, the frame before.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "kit/export/export_clock.h"
#include "kit/export/offline_player.h"

namespace {

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
        // From before the first picture through the second slot's still
        // start into its fade, where the caption is typed.
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

}  // namespace
