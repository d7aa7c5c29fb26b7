// The SDL sound output on SDL's dummy driver: the ring's regions, refused
// locks, and a play cursor that moves once the buffer plays.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/sound.h"

namespace {

class SdlSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        device.reset(platformOpenSoundDevice());
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->setCooperativeLevel(nullptr), SoundOk);
        primary.reset(device->createPrimaryBuffer());
        ASSERT_NE(primary, nullptr);
        EXPECT_EQ(primary->setFormat(kSoundOutputFormat), SoundOk);
        ring.reset(device->createStreamBuffer(16384, kSoundOutputFormat));
        ASSERT_NE(ring, nullptr);
    }
    void TearDown() override {
        ring.reset();
        primary.reset();
        device.reset();
    }
    std::unique_ptr<SoundDevice> device;
    std::unique_ptr<SoundBuffer> primary;
    std::unique_ptr<SoundBuffer> ring;
};

TEST_F(SdlSoundTest, ALockPastTheEndWrapsIntoTwoRegions) {
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    ASSERT_EQ(ring->lock(16000, 1000, &first, &first_bytes, &second, &second_bytes, 0), SoundOk);
    EXPECT_EQ(first_bytes, 384u);
    EXPECT_EQ(second_bytes, 616u);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(first) - static_cast<uint8_t*>(second), 16000);
    EXPECT_EQ(ring->unlock(first, first_bytes, second, second_bytes), SoundOk);

    ASSERT_EQ(ring->lock(100, 200, &first, &first_bytes, &second, &second_bytes, 0), SoundOk);
    EXPECT_EQ(first_bytes, 200u);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(second_bytes, 0u);
    EXPECT_EQ(ring->unlock(first, first_bytes, second, second_bytes), SoundOk);

    ASSERT_EQ(ring->lock(5, 5, &first, &first_bytes, &second, &second_bytes, kSoundLockEntireBuffer),
              SoundOk);
    EXPECT_EQ(first_bytes, 16384u);
    EXPECT_EQ(second_bytes, 0u);
    EXPECT_EQ(ring->unlock(first, first_bytes, second, second_bytes), SoundOk);
}

TEST_F(SdlSoundTest, LocksOutsideTheRingAreRefused) {
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    EXPECT_EQ(ring->lock(16384, 4, &first, &first_bytes, &second, &second_bytes, 0), SoundFailed);
    EXPECT_EQ(ring->lock(0, 16388, &first, &first_bytes, &second, &second_bytes, 0), SoundFailed);
    EXPECT_EQ(ring->lock(0, 0, &first, &first_bytes, &second, &second_bytes, 0), SoundFailed);
    char elsewhere[64];
    EXPECT_EQ(ring->unlock(elsewhere, sizeof elsewhere, nullptr, 0), SoundFailed);
    ASSERT_EQ(ring->lock(16000, 384, &first, &first_bytes, &second, &second_bytes, 0), SoundOk);
    EXPECT_EQ(ring->unlock(first, 385, nullptr, 0), SoundFailed); // one byte past the end
}

TEST_F(SdlSoundTest, TheCursorMovesOnlyWhilePlaying) {
    uint32_t cursor = 1;
    ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u); // not started
    ASSERT_EQ(ring->play(), SoundOk);
    for (int i = 0; i < 2000 && cursor == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(ring->getCurrentPosition(&cursor), SoundOk);
    }
    EXPECT_GT(cursor, 0u);
    EXPECT_LT(cursor, 16384u);
    EXPECT_EQ(cursor % 4, 0u);
}

TEST(SdlSoundDevice, RefusesStreamBuffersItCannotPlay) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<SoundDevice> device(platformOpenSoundDevice());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->createStreamBuffer(0, kSoundOutputFormat), nullptr);
    EXPECT_EQ(device->createStreamBuffer(16386, kSoundOutputFormat), nullptr);
    SoundFormat eight_bit = kSoundOutputFormat;
    eight_bit.bitsPerSample = 8;
    EXPECT_EQ(device->createStreamBuffer(16384, eight_bit), nullptr);
}

} // namespace
