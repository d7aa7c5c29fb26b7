// Where the output cannot be trusted: a silent output that keeps the show's
// clock, a refill thread that does not stop when asked, and the extensible
// WAV layout that many editors write.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/silent_output.h"
#include "audio/stream_player.h"
#include "audio/wav_loop.h"
#include "test_files.h"
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

TEST(SilentOutput, ItsCursorStandsStillUntilPlayAndStaysInTheRing) {
    SoundDevice* device = create_silent_output();
    ASSERT_NE(device, nullptr);
    SoundBuffer* buffer = device->createStreamBuffer(16384, kSoundOutputFormat);
    ASSERT_NE(buffer, nullptr);
    uint32_t cursor = 99;
    ASSERT_EQ(buffer->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(buffer->getCurrentPosition(&cursor), SoundOk);
    EXPECT_EQ(cursor, 0u);
    ASSERT_EQ(buffer->play(), SoundOk);
    uint32_t previous = 0;
    bool moved = false;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(buffer->getCurrentPosition(&cursor), SoundOk);
        ASSERT_LT(cursor, 16384u);
        ASSERT_EQ(cursor % 4, 0u);  // whole frames
        moved = moved || cursor != previous;
        previous = cursor;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(moved);
    // A lock that wraps hands out both parts of the ring.
    void *part1 = nullptr, *part2 = nullptr;
    uint32_t bytes1 = 0, bytes2 = 0;
    ASSERT_EQ(buffer->lock(16000, 1000, &part1, &bytes1, &part2, &bytes2, 0), SoundOk);
    EXPECT_EQ(bytes1, 384u);
    EXPECT_EQ(bytes2, 616u);
    EXPECT_NE(part2, nullptr);
    delete buffer;
    delete device;
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

namespace {

// A 16-bit stereo 44.1 kHz WAVE file in the extensible layout (40-byte format chunk).
Bytes extensible_wav(const std::vector<int16_t>& samples, uint16_t valid_bits = 16,
                     uint32_t channel_mask = 3, uint16_t subtype = 1, uint32_t format_bytes = 40) {
    Bytes file;
    auto u16 = [&](uint32_t value) { put_u16(file, value); };
    auto u32 = [&](uint32_t value) { put_u32(file, value); };
    auto tag = [&](const char* text) { put_tag(file, text); };
    const uint32_t data_bytes = uint32_t(samples.size() * 2);
    tag("RIFF");
    u32(4 + 8 + format_bytes + 8 + data_bytes);
    tag("WAVE");
    tag("fmt ");
    u32(format_bytes);
    u16(0xFFFE);
    u16(2);
    u32(44100);
    u32(176400);
    u16(4);
    u16(16);
    u16(22);  // the extension's size
    u16(valid_bits);
    u32(channel_mask);
    const uint8_t guid_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    u16(subtype);
    file.insert(file.end(), guid_tail, guid_tail + 14);
    file.resize(20 + format_bytes, 0);
    tag("data");
    u32(data_bytes);
    for (int16_t sample : samples) u16(uint16_t(sample));
    return file;
}

}  // namespace

TEST(WavLoop, TheExtensibleLayoutOf16BitStereoPcmIsAccepted) {
    ScratchDirectory scratch;
    const std::vector<int16_t> samples = {1, -2, 300, -400, 32767, -32768};
    struct Case {
        const char* what;
        Bytes file;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"extensible PCM", extensible_wav(samples), true},
        {"extensible PCM, no channel mask", extensible_wav(samples, 16, 0), true},
        {"12 valid bits", extensible_wav(samples, 12), false},
        {"front centre and LFE", extensible_wav(samples, 16, 0x8 | 0x4), false},
        {"float subtype", extensible_wav(samples, 16, 3, 3), false},
        {"format chunk of 18 bytes", extensible_wav(samples, 16, 3, 1, 18), false},
    };
    for (const Case& c : cases) {
        write_file("loop.wav", c.file);
        int16_t* loaded = nullptr;
        uint32_t frames = 0;
        EXPECT_EQ(load_wav_loop("loop.wav", &loaded, &frames), c.accepted) << c.what;
        if (c.accepted && loaded) {
            ASSERT_EQ(frames, 3u) << c.what;
            EXPECT_EQ(std::vector<int16_t>(loaded, loaded + 6), samples) << c.what;
        }
        free_loop_samples(loaded);
    }
}
