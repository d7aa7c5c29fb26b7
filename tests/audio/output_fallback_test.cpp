// Where the output cannot be trusted: a silent output that keeps the show's
// clock, and a refill thread that does not stop when asked.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/silent_output.h"
#include "audio/stream_player.h"
#include "virtual_sound.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the frames it was asked for; blocks while `hold` is set.
struct HoldingRender {
    std::atomic<bool> hold{false};
    std::atomic<bool> inside{false};
    std::atomic<int64_t> frames{0};

    static int32_t render(void* context, float* block, int32_t count) {
        HoldingRender* self = static_cast<HoldingRender*>(context);
        self->inside = true;
        while (self->hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        self->inside = false;
        for (int32_t i = 0; i < 2 * count; ++i) block[i] = 0.25f;
        self->frames += count;
        return count;
    }
};

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

TEST(SilentOutput, ItsClockRunsAt176400BytesASecondAndTheMusicIsConsumed) {
    StreamPlayer player;
    HoldingRender music;
    const Clock::time_point before_open = Clock::now();
    ASSERT_EQ(player.open(&HoldingRender::render, &music, nullptr, create_silent_output(), true),
              0xFFFFFFFFu);
    const Clock::time_point after_open = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const double low = seconds_since(after_open);
    const int32_t position = player.position();
    const double high = seconds_since(before_open);
    player.close();

    // The ring's 16384 bytes of silence come first; a refill may lag the
    // cursor by up to 4096 bytes, and a loaded machine by a little more.
    const double played = position + 16384.0;
    EXPECT_LE(played, high * 176400.0 + 4.0);
    EXPECT_GE(played, low * 176400.0 - 4096.0 - 0.05 * 176400.0);
    // The music was decoded in step with the clock, frame for frame.
    EXPECT_EQ(music.frames.load() * 4, int64_t(player.written_bytes()) + 16384);
}

TEST(StreamPlayerClose, AThreadThatDoesNotStopKeepsWhatItUses) {
    VirtualSoundState sound;
    StreamPlayer player;
    HoldingRender music;
    ASSERT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&sound), true),
              0xFFFFFFFFu);
    music.hold = true;
    sound.advance(256);
    player.wake();
    for (int i = 0; i < 5000 && !music.inside; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(music.inside) << "the refill thread never rendered";

    // Closing gives up after its wait, but frees nothing the thread holds.
    const Clock::time_point start = Clock::now();
    player.close();
    EXPECT_GE(seconds_since(start), 0.9);
    EXPECT_FALSE(sound.deleted);

    // Opening again must not revive the thread on new members.
    VirtualSoundState other;
    EXPECT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&other), true),
              0u);
    EXPECT_TRUE(other.deleted);
    EXPECT_FALSE(sound.deleted);

    // Once the thread has ended, close releases everything and the player opens anew.
    music.hold = false;
    player.close();
    EXPECT_TRUE(sound.deleted);
    VirtualSoundState again;
    EXPECT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&again), true),
              0xFFFFFFFFu);
    player.close();
    EXPECT_TRUE(again.deleted);
}
