// The stream player over the virtual device: refills, the clock, lost buffers,
// the thread; the outputs it plays on, SDL's (dummy driver) and the silent one;
// and end to end over SDL's disk audio driver: the program's audio calls play a
// generated track with a loop, and the file written is checked sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/silent_output.h"
#include "audio/stream_player.h"
#include "test_files.h"
#include "virtual_sound.h"

namespace {

// Sample n of all refills is n mod 30000: every value in the ring tells its sample.
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

// A player on the virtual device, playing the counting signal.
struct Rig {
    uint32_t open(bool thread) {
        return player.open(&CountingRender::render, &music, nullptr, new VirtualSoundDevice(&sound), thread);
    }
    VirtualSoundState sound;  // outlives the player, whose device reports to it
    CountingRender music;
    StreamPlayer player;
};

class StreamPlayerTest : public ::testing::Test, protected Rig {};

TEST_F(StreamPlayerTest, OpenClearsTheRingAndRefillsComeInStepsAndWrapAround) {
    ASSERT_EQ(open(false), 0xFFFFFFFFu);
    EXPECT_EQ(std::count(sound.ring.begin(), sound.ring.end(), 0), 16384);
    EXPECT_EQ(player.position(), -16384);
    sound.advance(31);  // the position follows the cursor; a refill waits for a step
    EXPECT_EQ(player.position(), -16384 + 31);
    player.refill();
    EXPECT_TRUE(music.calls.empty());
    EXPECT_EQ(sound.locks.load(), 0);
    sound.advance(1);  // 32 bytes: one step of 8 frames
    player.refill();
    EXPECT_EQ(music.calls, std::vector<int32_t>{8});
    EXPECT_EQ(player.last_write_offset(), 32u);
    uint32_t total = 32;
    // Around the ring twice in uneven steps; every refill continues the signal.
    for (uint32_t step : {4000, 4096, 3000, 4064, 2500, 3712, 4096, 4000, 1200}) {
        sound.advance(step);
        total += step;
        player.refill();
        EXPECT_EQ(player.position(), -16384 + int32_t(total));
    }
    uint32_t written_total = total & ~31u;
    EXPECT_EQ(player.written_bytes(), -16384 + int32_t(written_total));
    // The last 16384 written bytes hold the last 8192 samples of the signal.
    for (uint32_t n = written_total / 2 - 8192; n < written_total / 2; ++n)
        ASSERT_EQ(sound.sample_at(2 * n), int16_t(n % 30000)) << n;
}

TEST_F(StreamPlayerTest, ALateOrLappedRefillRepeatsThePreviousPosition) {
    ASSERT_EQ(open(false), 0xFFFFFFFFu);
    sound.advance(1000);
    player.refill();
    int32_t base = player.written_bytes();  // -16384 + 992
    sound.advance(4087);                    // 992 + 4095 since the write position
    EXPECT_EQ(player.position(), base + 4095);
    sound.advance(1);  // 4096 behind: the thread is late
    EXPECT_EQ(player.position(), base + 4095);
    player.refill();  // the thread catches up
    EXPECT_EQ(player.position(), -16384 + 1000 + 4088);
    sound.advance(3000);
    const int32_t before = player.position();
    EXPECT_EQ(before, -16384 + 5088 + 3000);
    // Stalled a whole ring: 1000 bytes past the write position, a lap later; no going back.
    sound.advance(16384 - 3000 + 1000);
    EXPECT_EQ(player.position(), before);
}

// Two refills, of 512 and 256 bytes, the first meeting a lost or failing
// buffer: a lost buffer is restored and the refill retried, or with a lock lost
// the played bytes stay counted, not rendered again; a failed lock still
// consumes the music, so it stays in step.
TEST(StreamPlayerRefill, LostBuffersAndFailedLocksKeepTheMusicInStep) {
    const struct { const char* what; std::atomic<int> VirtualSoundState::*fault; int restores;
                   std::vector<int32_t> calls; int16_t at_510, at_512; } rows[] = {
        {"cursor lost", &VirtualSoundState::lose_on_position, 1, {128, 64}, 255, 256},
        {"lock lost", &VirtualSoundState::lose_on_lock, 1, {64}, 0, 0},
        {"lock failed", &VirtualSoundState::fail_lock, 0, {128, 64}, 0, 256},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig;
        ASSERT_NE(rig.open(false), 0u);
        rig.sound.*row.fault = 1;
        for (uint32_t step : {512, 256}) {
            rig.sound.advance(step);
            rig.player.refill();
        }
        EXPECT_EQ(rig.sound.restores.load(), row.restores);
        EXPECT_EQ(rig.music.calls, row.calls);
        EXPECT_EQ(rig.sound.sample_at(510), row.at_510);
        EXPECT_EQ(rig.sound.sample_at(512), row.at_512);
        EXPECT_EQ(rig.player.position(), -16384 + 768);
    }
}

TEST_F(StreamPlayerTest, OpenFailsCleanlyWithoutAStreamBuffer) {
    sound.refuse_stream_buffer = true;
    EXPECT_EQ(open(true), 0u);
    EXPECT_TRUE(sound.deleted);  // released on failure
    EXPECT_EQ(player.open(&CountingRender::render, &music, nullptr, nullptr, true), 0u);
}

TEST_F(StreamPlayerTest, EveryWakeRefillsSoonerThanTheTimeOut) {
    ASSERT_EQ(open(true), 0xFFFFFFFFu);
    // Each pass plays one step, wakes the thread and waits for its refill;
    // without the wake every pass would take a time-out of its own.
    const int passes = 200;
    const auto began = std::chrono::steady_clock::now();
    for (int pass = 0; pass < passes; ++pass) {
        const int locks = sound.locks.load();
        sound.advance(kPlayerStepBytes);
        player.wake();
        for (int spin = 0; spin < 1000000 && sound.locks.load() == locks; ++spin) std::this_thread::yield();
        ASSERT_GT(sound.locks.load(), locks) << "no refill after wake " << pass;
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    EXPECT_LT(took.count(), int64_t(kPlayerWakeMilliseconds) * (passes - 1));
    EXPECT_EQ(player.position(), -16384 + passes * int32_t(kPlayerStepBytes));
}

// Blocks in the render while `hold` is set.
struct HoldingRender {
    std::atomic<bool> hold{true}, inside{false};
    static int32_t render(void* context, float*, int32_t count) {
        HoldingRender* self = static_cast<HoldingRender*>(context);
        self->inside = true;
        while (self->hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count;
    }
};

TEST(StreamPlayerClose, AThreadThatDoesNotStopKeepsWhatItUses) {
    VirtualSoundState sound, other, again;
    HoldingRender music;
    StreamPlayer player;
    ASSERT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&sound), true), 0xFFFFFFFFu);
    sound.advance(256);
    player.wake();
    for (int i = 0; i < 5000 && !music.inside; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(music.inside) << "the refill thread never rendered";
    // Opening again closes first, which gives up after its wait and frees
    // nothing the thread holds; the thread must not be revived on new members.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&other), true), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_TRUE(other.deleted);
    EXPECT_FALSE(sound.deleted);
    // Once the thread has ended, close releases everything and the player opens anew.
    music.hold = false;
    player.close();
    EXPECT_TRUE(sound.deleted);
    EXPECT_EQ(player.open(&HoldingRender::render, &music, nullptr, new VirtualSoundDevice(&again), true), 0xFFFFFFFFu);
    player.close();
    EXPECT_TRUE(again.deleted);
}

TEST(ToPcm16, ConvertsToTheNearestValueTiesToEvenWithinTheLimit) {
    const struct { float sample, scale; int16_t expected; } cases[] = {
        {1.0f, 32768.0f, 32600}, {-1.0f, 32768.0f, -32600}, {0.99f, 32768.0f, 32440},  // 32440.3
        {0.6f / 32768, 32768.0f, 1}, {-0.6f / 32768, 32768.0f, -1}, {0.5f / 32768, 32768.0f, 0},
        {1.5f / 32768, 32768.0f, 2}, {2.5f / 32768, 32768.0f, 2}, {-2.5f / 32768, 32768.0f, -2},
        // The product is taken in double: in float 0.1f x 5 rounds to the tie 0.5.
        {0.1f, 5.0f, 1}, {-0.1f, 5.0f, -1}, {std::nanf(""), 32768.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sample << " x " << c.scale);
        int16_t out = 12345;
        to_pcm16(&c.sample, c.scale, &out, 2, nullptr, 0);
        EXPECT_EQ(out, c.expected);
    }
    // Without region 1, region 2 starts at the block's start.
    const float block[2] = {3.0f / 32768, 4.0f / 32768};
    int16_t only[2] = {};
    to_pcm16(block, 32768.0f, nullptr, 4, only, 4);
    EXPECT_EQ(std::vector<int16_t>(only, only + 2), (std::vector<int16_t>{3, 4}));
}

SoundDevice* open_sdl() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return platformOpenSoundDevice();
}

// Both outputs: locks of the 16384-byte ring wrap into two regions and those
// outside it are refused, as are rings not of whole frames; the cursor moves
// in whole frames, only once playing. SDL's ring also refuses unlocks outside
// the lock and formats it cannot play.
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
        std::unique_ptr<SoundBuffer> primary(device->createPrimaryBuffer());
        std::unique_ptr<SoundBuffer> ring(device->createStreamBuffer(16384, kSoundOutputFormat));
        ASSERT_NE(ring, nullptr);
        EXPECT_EQ(primary->setFormat(kSoundOutputFormat), SoundOk);
        EXPECT_EQ(device->createStreamBuffer(0, kSoundOutputFormat), nullptr);
        EXPECT_EQ(device->createStreamBuffer(16386, kSoundOutputFormat), nullptr);
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
            if (open == &open_sdl && second) {
                char elsewhere[64];
                EXPECT_EQ(ring->unlock(elsewhere, sizeof elsewhere, nullptr, 0), SoundFailed);
                EXPECT_EQ(ring->unlock(first, first_bytes + 1, nullptr, 0), SoundFailed);  // one byte past the end
            }
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
    SoundFormat eight_bit = kSoundOutputFormat;
    eight_bit.bitsPerSample = 8;
    EXPECT_EQ(std::unique_ptr<SoundDevice>(open_sdl())->createStreamBuffer(16384, eight_bit), nullptr);
}

// The silent output's clock is exact over weeks of play and, played through
// the player, keeps to 176400 bytes a second.
TEST(SilentOutput, ItsClockIsExactOverWeeksAndRunsAt176400BytesASecond) {
    const uint64_t second = 1000000000u;
    const struct { uint64_t nanoseconds, bytes; } rows[] = {
        {second - 1, 176399}, {second, 176400},  // whole bytes only, rounded down
        {30 * 3600 * second, 30ull * 3600 * 176400},  // past the 29 hours a plain product lasts
        {21 * 86400 * second + second / 4, 21ull * 86400 * 176400 + 44100},
    };
    for (const auto& row : rows) EXPECT_EQ(silent_bytes_played(row.nanoseconds, 176400), row.bytes) << row.nanoseconds;
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

const char* kTrack = "data/audio/velandora.ogg";
const char* kLoop = "data/audio/loop_idle.wav";
const int kTrackFrames = 22050;  // half a second

struct Show {
    MusicStream music;
    LoopMixer mixer{&music};
    Show() {
        music.open_music(kTrack);
        music.mix_hook = &LoopMixer::mix_loops;
        music.mix_context = &mixer;
        mixer.load_loop(kLoop);
        mixer.slots[0].target_volume = 0.15f;
    }
};

// What the output must hold: the same rendered off line in uneven blocks.
std::vector<int16_t> expected_output(size_t frames) {
    Show show;
    show.music.playing = 1;
    std::vector<int16_t> out(2 * frames);
    std::vector<float> block(2 * 4096);
    for (size_t done = 0; done < frames;) {
        int32_t n = int32_t(std::min<size_t>(777, frames - done));
        MusicStream::render_music(&show.music, block.data(), n);
        to_pcm16(block.data(), 32768.0f, &out[2 * done], uint32_t(4 * n), nullptr, 0);
        done += size_t(n);
    }
    return out;
}

// Plays as the main loop does until 0.15 s past the end of the track; the
// samples the disk driver wrote.
std::vector<int16_t> play(const std::string& output) {
    Show show;
    EXPECT_TRUE(show.music.start_music());
    const int32_t wanted = 4 * (kTrackFrames + 6615);
    int32_t previous = player_position();
    for (int pass = 0; pass < 1000 && previous < wanted; ++pass) {
        player_wake();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        previous = player_position();
    }
    player_close();
    EXPECT_GE(previous, wanted);  // the clock runs on past the end of the track
    std::vector<int16_t> written(std::filesystem::file_size(output) / 2);
    std::ifstream(output, std::ios::binary).read(reinterpret_cast<char*>(written.data()), 2 * written.size());
    return written;
}

TEST(PlaybackEndToEnd, TheDiskDriverReceivesTheMusicWithTheLoopWithoutGapsOrRepeats) {
    ScratchDirectory scratch;
    StereoBuffer track;  // a tone on the left
    track.resize_frames(kTrackFrames);
    for (int i = 0; i < kTrackFrames; ++i) track.samples[2 * i] = float(0.4 * std::sin(i * 6.2831853 * 440 / 44100));
    scratch.write(kTrack, encode_ogg_vorbis(track, 0.6f, nullptr));
    scratch.write(kLoop, Wav{std::vector<int16_t>(2000, 20000)}.bytes());
    std::string output = scratch.path() + "/output.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);

    // Rendered first: an open data file is not shared with a second opener.
    const std::vector<int16_t> expected = expected_output(size_t(kTrackFrames) + 4410);

    // A machine so loaded that the refill thread misses a whole ring (93 ms)
    // replays old sound, as any output would; such a run is played again.
    for (int attempt = 1;; ++attempt) {
        const std::vector<int16_t> written = play(output);
        // The music begins where a stretch well inside it is found, at a whole
        // frame, after at least a ring length of silence; then it all follows.
        const auto found = std::search(written.begin(), written.end(), &expected[4000], &expected[4512]);
        const ptrdiff_t start = found - written.begin() - 4000;
        const bool found_whole = found != written.end() && start >= 16384 / 2 && start % 2 == 0 &&
                                 std::count(written.begin(), written.begin() + start, 0) == start &&
                                 written.size() >= size_t(start) + expected.size() &&
                                 std::equal(expected.begin(), expected.end(), written.begin() + start);
        if (found_whole) break;
        std::printf("playback attempt %d: the music was found at %td of %zu samples\n", attempt, start, written.size());
        ASSERT_LT(attempt, 2) << "the output is not silence followed by the music";
    }
}

}  // namespace
