// The export's clock: video frames on the music's sample clock, and how far
// the player's ring has rendered the music at a given play position.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "app/show.h"
#include "kit/export/export_clock.h"

TEST(ExportClock, VideoFramesOnTheMusicClock) {
    struct Case {
        int64_t frame;
        int32_t fps;
        int64_t sample;
    } cases[] = {{0, 30, 0}, {1, 30, 1470}, {30, 30, 44100}, {1, 24, 1837}, {2, 24, 3675}, {7, 1, 308700}};
    for (const Case& c : cases) {
        EXPECT_EQ(frame_sample(c.frame, c.fps), c.sample) << c.frame << " at " << c.fps;
        EXPECT_EQ(frame_clock_bytes(c.frame, c.fps), int32_t(c.sample * 4));
    }
    // The player's own time conversion gives frame / fps: 2.5 s is 75 frames at
    // 30 fps, the first millisecond of the show.
    EXPECT_EQ(show_milliseconds(music_seconds(frame_clock_bytes(75, 30))), 0);
    EXPECT_EQ(show_milliseconds(music_seconds(frame_clock_bytes(615, 30))), 18000);
}

TEST(ExportClock, TheRingRendersOneLapAheadInWholeSteps) {
    // 16384 bytes (4096 frames) ahead of the cursor, the cursor cut to 8 frames.
    struct Case {
        int64_t played, rendered;
    } cases[] = {{0, 4096}, {7, 4096}, {8, 4104}, {1470, 1464 + 4096}, {44100, 44096 + 4096}};
    for (const Case& c : cases) EXPECT_EQ(rendered_by(c.played), c.rendered) << c.played;
}
