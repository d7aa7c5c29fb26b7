// SDL's sound output (dummy driver) and the silent one: locks, cursor, clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "audio/silent_output.h"
#include "audio/stream_player.h"
#include "platform/sound.h"

namespace {

struct Output {
    const char* name;
    SoundDevice* (*open)();
};

void PrintTo(const Output& output, std::ostream* out) { *out << output.name; }

SoundDevice* open_sdl() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return platformOpenSoundDevice();
}

class SoundOutputTest : public ::testing::TestWithParam<Output> {
protected:
    void SetUp() override {
        device.reset(GetParam().open());
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->setCooperativeLevel(nullptr), SoundOk);
        primary.reset(device->createPrimaryBuffer());
        ASSERT_NE(primary, nullptr);
        ring.reset(device->createStreamBuffer(16384, kSoundOutputFormat));
        ASSERT_NE(ring, nullptr);
    }
    std::unique_ptr<SoundDevice> device;  // destroyed last
    std::unique_ptr<SoundBuffer> primary, ring;
};

TEST_P(SoundOutputTest, LocksWrapIntoTwoRegionsAndThoseOutsideTheRingAreRefused) {
    const struct { uint32_t offset, bytes, flags; SoundResult result; uint32_t first, second; } rows[] = {
        {16000, 1000, 0, SoundOk, 384, 616},
        {100, 200, 0, SoundOk, 200, 0},
        {5, 5, kSoundLockEntireBuffer, SoundOk, 16384, 0},
        {16384, 4, 0, SoundFailed, 0, 0},
        {0, 16388, 0, SoundFailed, 0, 0},
        {0, 0, 0, SoundFailed, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.offset << " + " << row.bytes);
        void *first = nullptr, *second = nullptr;
        uint32_t first_bytes = 0, second_bytes = 0;
        ASSERT_EQ(ring->lock(row.offset, row.bytes, &first, &first_bytes, &second, &second_bytes, row.flags),
                  row.result);
        if (row.result != SoundOk) continue;
        EXPECT_EQ(first_bytes, row.first);
        EXPECT_EQ(second_bytes, row.second);
        EXPECT_EQ(second != nullptr, row.second > 0);
        if (second) {
            EXPECT_EQ(static_cast<uint8_t*>(first) - static_cast<uint8_t*>(second), 16000);
        }
        EXPECT_EQ(ring->unlock(first, first_bytes, second, second_bytes), SoundOk);
    }
}

TEST_P(SoundOutputTest, TheCursorMovesInWholeFramesOnlyWhilePlaying) {
    uint32_t cursor = 1;
    ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u);  // not started
    ASSERT_EQ(ring->play(), SoundOk);
    for (int i = 0; i < 2000 && cursor == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
        ASSERT_LT(cursor, 16384u);
        ASSERT_EQ(cursor % 4, 0u);
    }
    EXPECT_GT(cursor, 0u);
}

INSTANTIATE_TEST_SUITE_P(Outputs, SoundOutputTest,
                         ::testing::Values(Output{"Sdl", open_sdl}, Output{"Silent", create_silent_output}),
                         [](const ::testing::TestParamInfo<Output>& info) { return info.param.name; });

TEST(SdlSound, RefusesUnlocksOutsideTheLockAndBuffersItCannotPlay) {
    std::unique_ptr<SoundDevice> device(open_sdl());
    ASSERT_NE(device, nullptr);
    std::unique_ptr<SoundBuffer> primary(device->createPrimaryBuffer());
    EXPECT_EQ(primary->setFormat(kSoundOutputFormat), SoundOk);
    std::unique_ptr<SoundBuffer> ring(device->createStreamBuffer(16384, kSoundOutputFormat));
    ASSERT_NE(ring, nullptr);
    char elsewhere[64];
    EXPECT_EQ(ring->unlock(elsewhere, sizeof elsewhere, nullptr, 0), SoundFailed);
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    ASSERT_EQ(ring->lock(16000, 384, &first, &first_bytes, &second, &second_bytes, 0), SoundOk);
    EXPECT_EQ(ring->unlock(first, 385, nullptr, 0), SoundFailed);  // one byte past the end
    EXPECT_EQ(device->createStreamBuffer(0, kSoundOutputFormat), nullptr);
    EXPECT_EQ(device->createStreamBuffer(16386, kSoundOutputFormat), nullptr);
    SoundFormat eight_bit = kSoundOutputFormat;
    eight_bit.bitsPerSample = 8;
    EXPECT_EQ(device->createStreamBuffer(16384, eight_bit), nullptr);
}

// Counts the frames it renders.
int32_t count_frames(void* context, float* block, int32_t frames) {
    static_cast<std::atomic<int64_t>*>(context)->fetch_add(frames);
    std::fill(block, block + 2 * frames, 0.25f);
    return frames;
}

TEST(SilentOutput, ItsClockIsExactOverWeeksOfPlay) {
    const uint64_t second = 1000000000u;
    struct Row { uint64_t nanoseconds; uint64_t bytes; };
    const Row rows[] = {
        {0, 0},
        {second - 1, 176399},             // whole bytes only, rounded down
        {second, 176400},
        {second / 2, 88200},
        {30 * 3600 * second, 30ull * 3600 * 176400},   // past the 29 hours a plain product lasts
        {21 * 86400 * second + second / 4, 21ull * 86400 * 176400 + 44100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.nanoseconds);
        EXPECT_EQ(silent_bytes_played(row.nanoseconds, 176400), row.bytes);
    }
}

TEST(SilentOutput, ItsClockRunsAt176400BytesASecondAndTheMusicIsConsumed) {
    using Clock = std::chrono::steady_clock;
    auto seconds_since = [](Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); };
    StreamPlayer player;
    std::atomic<int64_t> frames{0};
    const Clock::time_point before_open = Clock::now();
    ASSERT_EQ(player.open(&count_frames, &frames, nullptr, create_silent_output(), true), 0xFFFFFFFFu);
    const Clock::time_point after_open = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const double low = seconds_since(after_open);
    const int32_t position = player.position();
    const double high = seconds_since(before_open);
    player.close();
    // The ring's 16384 bytes of silence first; refills lag by 4096 bytes and a bit.
    const double played = position + 16384.0;
    EXPECT_LE(played, high * 176400.0 + 4.0);
    EXPECT_GE(played, low * 176400.0 - 4096.0 - 0.05 * 176400.0);
    // The music was decoded in step with the clock, frame for frame.
    EXPECT_EQ(frames.load() * 4, int64_t(player.written_bytes()) + 16384);
}

}  // namespace
