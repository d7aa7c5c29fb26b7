// SDL's sound output (dummy driver) and the silent one: locks, cursor, clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "audio/silent_output.h"
#include "audio/stream_player.h"
#include "platform/sound.h"

namespace {

SoundDevice* open_sdl() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return platformOpenSoundDevice();
}

// Both outputs: locks of the 16384-byte ring wrap into two regions and those
// outside it are refused; the cursor moves in whole frames, only once playing.
TEST(SoundOutput, LocksWrapAndTheCursorMovesOnlyWhilePlaying) {
    const struct { uint32_t offset, bytes, flags; SoundResult result; uint32_t first, second; } rows[] = {
        {16000, 1000, 0, SoundOk, 384, 616}, {100, 200, 0, SoundOk, 200, 0},
        {5, 5, kSoundLockEntireBuffer, SoundOk, 16384, 0}, {16384, 4, 0, SoundFailed, 0, 0},
        {0, 16388, 0, SoundFailed, 0, 0}, {0, 0, 0, SoundFailed, 0, 0},
    };
    for (SoundDevice* (*open)() : {&open_sdl, &create_silent_output}) {
        SCOPED_TRACE(open == &open_sdl ? "SDL" : "silent");
        std::unique_ptr<SoundDevice> device(open());
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->setCooperativeLevel(nullptr), SoundOk);
        std::unique_ptr<SoundBuffer> primary(device->createPrimaryBuffer());
        std::unique_ptr<SoundBuffer> ring(device->createStreamBuffer(16384, kSoundOutputFormat));
        ASSERT_NE(primary, nullptr);
        ASSERT_NE(ring, nullptr);
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
        uint32_t cursor = 1;
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
}

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

TEST(SilentOutput, ItsClockIsExactOverWeeksOfPlay) {
    const uint64_t second = 1000000000u;
    const struct { uint64_t nanoseconds, bytes; } rows[] = {
        {second - 1, 176399},  // whole bytes only, rounded down
        {second, 176400},
        {30 * 3600 * second, 30ull * 3600 * 176400},  // past the 29 hours a plain product lasts
        {21 * 86400 * second + second / 4, 21ull * 86400 * 176400 + 44100},
    };
    for (const auto& row : rows) EXPECT_EQ(silent_bytes_played(row.nanoseconds, 176400), row.bytes) << row.nanoseconds;
}

// Played through the player, the silent ring's clock keeps to 176400 bytes a second.
TEST(SilentOutput, ItsClockRunsAt176400BytesASecond) {
    using Clock = std::chrono::steady_clock;
    auto seconds_since = [](Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); };
    StreamPlayer player;
    const Clock::time_point before_open = Clock::now();
    ASSERT_EQ(player.open(nullptr, nullptr, nullptr, create_silent_output(), true), 0xFFFFFFFFu);
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
}

}  // namespace
