// The stream player over the virtual device: refills, the play position (the
// show's clock), ring wrap-around, lost buffers and the refill thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/stream_player.h"
#include "virtual_sound.h"

namespace {

// Renders a counting signal: sample n (over all refills) is n mod 30000, so
// every 16-bit value in the ring tells which music sample it is.
struct CountingRender {
    uint32_t next = 0;
    std::vector<int32_t> calls;

    static int32_t render(void* context, float* block, int32_t frames) {
        CountingRender* self = static_cast<CountingRender*>(context);
        self->calls.push_back(frames);
        for (int32_t i = 0; i < 2 * frames; ++i) block[i] = float(self->next++ % 30000) / 32768.0f;
        return frames;
    }
};

class StreamPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(player.open(&CountingRender::render, &music, nullptr, new VirtualSoundDevice(&sound),
                              false),
                  0xFFFFFFFFu);
    }
    StreamPlayer player;
    VirtualSoundState sound;
    CountingRender music;
};

TEST_F(StreamPlayerTest, OpenClearsTheRingAndStartsIt) {
    ASSERT_EQ(sound.ring.size(), 16384u);
    for (uint8_t byte : sound.ring) ASSERT_EQ(byte, 0);
    EXPECT_TRUE(sound.playing);
    EXPECT_EQ(player.written_bytes(), -16384);
}

TEST_F(StreamPlayerTest, PositionRightAfterOpeningIsMinusTheRingPlusTheCursor) {
    EXPECT_EQ(player.position(), -16384);
    sound.advance(100);
    EXPECT_EQ(player.position(), -16384 + 100);
    sound.advance(1000);
    EXPECT_EQ(player.position(), -16384 + 1100);
}

TEST_F(StreamPlayerTest, ACursorThatMovedLessThan32BytesGivesNoRefill) {
    sound.advance(31);
    player.refill();
    EXPECT_TRUE(music.calls.empty());
    EXPECT_EQ(sound.locks.load(), 0);
    EXPECT_EQ(player.written_bytes(), -16384);
    EXPECT_EQ(player.last_write_offset(), 0u);
    sound.advance(1); // 32 bytes: one step of 8 frames
    player.refill();
    ASSERT_EQ(music.calls.size(), 1u);
    EXPECT_EQ(music.calls[0], 8);
    EXPECT_EQ(player.written_bytes(), -16384 + 32);
    EXPECT_EQ(player.last_write_offset(), 32u);
}

TEST_F(StreamPlayerTest, RefillsWriteWhatWasPlayedInWholeSteps) {
    sound.advance(1000); // 992 bytes refilled, 8 left for the next step
    player.refill();
    ASSERT_EQ(music.calls.size(), 1u);
    EXPECT_EQ(music.calls[0], 992 / 4);
    EXPECT_EQ(player.last_write_offset(), 992u);
    for (uint32_t n = 0; n < 992 / 2; ++n) ASSERT_EQ(sound.sample_at(2 * n), int16_t(n)) << n;
    EXPECT_EQ(sound.sample_at(992), 0); // not yet written
    EXPECT_EQ(player.position(), -16384 + 1000);
}

TEST_F(StreamPlayerTest, TheRingWrapsAroundIntoTwoRegions) {
    uint32_t total = 0;
    // Around the ring twice in uneven steps; every refill continues the signal.
    const uint32_t steps[] = {4000, 4096, 3000, 4064, 2500, 3712, 4096, 4000, 1200};
    for (uint32_t step : steps) {
        sound.advance(step);
        total += step;
        player.refill();
        EXPECT_EQ(player.position(), -16384 + int32_t(total));
    }
    EXPECT_EQ(total % 16384, sound.cursor.load());
    uint32_t written_total = total & ~31u;
    EXPECT_EQ(player.written_bytes(), -16384 + int32_t(written_total));
    // The last 16384 written bytes hold the last 8192 samples of the signal.
    uint32_t first = written_total / 2 - 8192;
    for (uint32_t n = first; n < written_total / 2; ++n)
        ASSERT_EQ(sound.sample_at(2 * n), int16_t(n % 30000)) << n;
}

TEST_F(StreamPlayerTest, ALateRefillThreadRepeatsThePreviousPosition) {
    sound.advance(1000);
    player.refill();
    int32_t base = player.written_bytes(); // -16384 + 992
    sound.advance(4087);                   // 992 + 4095 since the write position
    EXPECT_EQ(player.position(), base + 4095);
    sound.advance(1); // 4096 behind: the thread is late
    EXPECT_EQ(player.position(), base + 4095);
    sound.advance(5000);
    EXPECT_EQ(player.position(), base + 4095);
    player.refill(); // the thread catches up
    EXPECT_EQ(player.position(), -16384 + 1000 + 4088 + 5000);
}

TEST_F(StreamPlayerTest, ALapOfTheCursorDoesNotMoveThePositionBackwards) {
    sound.advance(2048);
    player.refill();
    sound.advance(3000);
    int32_t before = player.position();
    EXPECT_EQ(before, -16384 + 5048);
    // The refill thread stalls for more than a whole ring: the cursor ends up
    // 1000 bytes past the write position again, one lap later.
    sound.advance(16384 - 3000 + 1000);
    EXPECT_EQ(player.position(), before);
    sound.advance(16384 - 1000 + 100); // and once more, 100 bytes past it
    EXPECT_EQ(player.position(), before);
}

TEST_F(StreamPlayerTest, ALostBufferIsRestoredAndTheRefillDone) {
    sound.lose_on_position = 1;
    sound.advance(512);
    player.refill();
    EXPECT_EQ(sound.restores.load(), 1);
    ASSERT_EQ(music.calls.size(), 1u);
    EXPECT_EQ(music.calls[0], 128);
    EXPECT_EQ(sound.sample_at(510), int16_t(255));
}

TEST_F(StreamPlayerTest, ABufferLostWhileLockingKeepsTheCountAndRetries) {
    sound.lose_on_lock = 1;
    sound.advance(512);
    player.refill();
    EXPECT_EQ(sound.restores.load(), 1);
    // The played bytes stay counted; they are not rendered a second time.
    EXPECT_EQ(player.written_bytes(), -16384 + 512);
    EXPECT_EQ(player.last_write_offset(), 512u);
    EXPECT_TRUE(music.calls.empty());
    sound.advance(256);
    player.refill();
    ASSERT_EQ(music.calls.size(), 1u);
    EXPECT_EQ(music.calls[0], 64);
    EXPECT_EQ(sound.sample_at(512), int16_t(0));
    EXPECT_EQ(player.position(), -16384 + 768);
}

TEST_F(StreamPlayerTest, AFailedLockStillConsumesTheMusic) {
    sound.fail_lock = 1;
    sound.advance(256);
    player.refill();
    ASSERT_EQ(music.calls.size(), 1u); // rendered, so the music stays in step
    EXPECT_EQ(sound.sample_at(0), 0);  // but nothing written
    sound.advance(256);
    player.refill();
    EXPECT_EQ(sound.sample_at(256), int16_t(128)); // the signal went on
}

TEST(StreamPlayerOpen, FailsCleanlyWithoutAStreamBuffer) {
    VirtualSoundState sound;
    sound.refuse_stream_buffer = true;
    StreamPlayer player;
    CountingRender music;
    EXPECT_EQ(player.open(&CountingRender::render, &music, nullptr, new VirtualSoundDevice(&sound), true),
              0u);
    EXPECT_TRUE(sound.deleted); // released on failure
    EXPECT_EQ(player.open(&CountingRender::render, &music, nullptr, nullptr, true), 0u);
}

TEST(StreamPlayerThread, TheRefillThreadFollowsTheCursorWhenWoken) {
    VirtualSoundState sound;
    StreamPlayer player;
    CountingRender music;
    ASSERT_EQ(player.open(&CountingRender::render, &music, nullptr, new VirtualSoundDevice(&sound), true),
              0xFFFFFFFFu);
    sound.advance(4096);
    player.wake();
    // The thread refills within its 5 ms time-out; allow a loaded machine plenty.
    // Until then the cursor is a whole 4096 bytes ahead and the position holds.
    int32_t position = player.position();
    for (int i = 0; i < 2000 && position != -16384 + 4096; ++i) {
        EXPECT_EQ(position, -16384);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        position = player.position();
    }
    EXPECT_EQ(position, -16384 + 4096);
    player.close();
    EXPECT_TRUE(sound.deleted);
    for (uint32_t n = 0; n < 2048; ++n) ASSERT_EQ(sound.sample_at(2 * n), int16_t(n)) << n;
}

TEST(ToPcm16, ConvertsToTheNearestValueWithinTheLimit) {
    const float block[] = {1.0f, -1.0f, 0.5f, 0.0f, 2.0f, -3.0f, 0.99f, 0.6f / 32768, -0.6f / 32768, -0.5f};
    int16_t out[10] = {};
    to_pcm16(block, 32768.0f, out, 12, out + 6, 8);
    EXPECT_EQ(out[0], 32600);
    EXPECT_EQ(out[1], -32600);
    EXPECT_EQ(out[2], 16384);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(out[4], 32600);
    EXPECT_EQ(out[5], -32600);
    EXPECT_EQ(out[6], 32440); // 0.99 x 32768 = 32440.3
    EXPECT_EQ(out[7], 1);
    EXPECT_EQ(out[8], -1);
    EXPECT_EQ(out[9], -16384);
}

TEST(ToPcm16, FillsRegionTwoAfterRegionOneAndSkipsMissingRegions) {
    float block[8];
    for (int i = 0; i < 8; ++i) block[i] = float(i + 1) / 32768.0f;
    int16_t first[4] = {}, second[4] = {};
    to_pcm16(block, 32768.0f, first, 6, second, 8);
    EXPECT_EQ(first[0], 1);
    EXPECT_EQ(first[2], 3);
    EXPECT_EQ(first[3], 0); // beyond length1
    EXPECT_EQ(second[0], 4);
    EXPECT_EQ(second[3], 7);
    int16_t only[2] = {};
    to_pcm16(block, 32768.0f, nullptr, 4, only, 4);
    EXPECT_EQ(only[0], 1); // region 2 alone starts at the block's start
}

} // namespace
