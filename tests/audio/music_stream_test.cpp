// The music stream over real Ogg Vorbis tracks made with libvorbisenc: lengths,
// speeds and levels at 44100 Hz whatever the track's rate and channels, the
// silence of tracks that do not decode, and the clock after the end.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "signal_checks.h"
#include "test_files.h"
#include "virtual_sound.h"

namespace {

const double kTwoPi = 6.283185307179586;
const char* kTrack = "data/audio/velandora.ogg";

// Renders `frames` frames through render_music in blocks of `block_frames`.
std::vector<float> render(MusicStream& music, size_t frames, int32_t block_frames) {
    std::vector<float> out(2 * frames);
    std::vector<float> block(2 * size_t(block_frames));
    for (size_t done = 0; done < frames;) {
        int32_t n = int32_t(std::min<size_t>(size_t(block_frames), frames - done));
        EXPECT_EQ(MusicStream::render_music(&music, block.data(), n), n);
        std::copy(block.begin(), block.begin() + 2 * n, out.begin() + 2 * done);
        done += size_t(n);
    }
    return out;
}

void write_sine_track(int channels, int rate, int frames, double left_hz, double right_hz) {
    write_file(kTrack, make_vorbis(channels, rate, frames, [=](int channel, int frame) {
                   double hz = channel == 0 ? left_hz : right_hz;
                   return float(0.5 * std::sin(kTwoPi * hz * frame / rate));
               }));
}

class MusicStreamTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
};

// One second of tone at any rate and channel count plays one second at
// 44100 Hz stereo, at its pitch and level; mono goes to both channels.
TEST_F(MusicStreamTest, TracksOfEveryRateAndChannelCountKeepTheirLengthAndPitch) {
    struct Case {
        int channels, rate;
        double left_hz, right_hz;
        int32_t block_frames;
    };
    const Case cases[] = {
        {2, 44100, 440.0, 660.0, 4096},
        {1, 22050, 440.0, 440.0, 1000},
        {2, 48000, 1000.0, 3000.0, 4096},
        {1, 44100, 440.0, 440.0, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate << " Hz");
        write_sine_track(c.channels, c.rate, c.rate, c.left_hz, c.right_hz);
        MusicStream music;
        ASSERT_TRUE(music.open_music(kTrack));
        music.playing = 1;
        std::vector<float> out = render(music, 3 * 4096 * 4, c.block_frames);
        const size_t length = audible_length(out, 0, 0.02f);
        EXPECT_NEAR(double(length), 44100.0, c.rate == 44100 ? 40.0 : 80.0);
        if (c.rate == 44100) EXPECT_LE(length, 44100u);
        for (size_t frame = c.rate == 44100 ? 44100 : 44100 + 80; frame < out.size() / 2; ++frame) ASSERT_EQ(sample_of(out, frame, 0), 0.0f);
        if (c.channels == 1)
            for (size_t frame = 0; frame < out.size() / 2; ++frame)
                ASSERT_EQ(sample_of(out, frame, 0), sample_of(out, frame, 1)) << frame;
        // 0.8 s in the middle.
        EXPECT_NEAR(rising_crossings(out, 0, 4410, 39690), 0.8 * c.left_hz, 1);
        EXPECT_NEAR(rising_crossings(out, 1, 4410, 39690), 0.8 * c.right_hz, 2);
        EXPECT_NEAR(rms(out, 0, 4410, 39690), 0.5 / std::sqrt(2.0), 0.02);
        EXPECT_NEAR(rms(out, 1, 4410, 39690), 0.5 / std::sqrt(2.0), 0.02);
    }
}

TEST_F(MusicStreamTest, ASurroundTrackIsMixedDownToStereo) {
    // 5.1 in Vorbis order: front left, centre, front right, rear left, rear
    // right, LFE. A tone on the front left only, another on the front right.
    write_file(kTrack, make_vorbis(6, 44100, 44100, [](int channel, int frame) {
                   if (channel == 0) return float(0.5 * std::sin(kTwoPi * 440.0 * frame / 44100));
                   if (channel == 2) return float(0.5 * std::sin(kTwoPi * 660.0 * frame / 44100));
                   return 0.0f;
               }));
    MusicStream music;
    ASSERT_TRUE(music.open_music(kTrack));
    music.playing = 1;
    std::vector<float> out = render(music, 44100, 4096);
    const double scale = 1.0 / (1.0 + 2.0 * 0.70710678);
    EXPECT_NEAR(rising_crossings(out, 0, 4410, 39690), 352, 1);
    EXPECT_NEAR(rising_crossings(out, 1, 4410, 39690), 528, 1);
    EXPECT_NEAR(rms(out, 0, 4410, 39690), scale * 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(rms(out, 1, 4410, 39690), scale * 0.5 / std::sqrt(2.0), 0.01);
}

TEST_F(MusicStreamTest, TheBlockSizeDoesNotChangeTheSound) {
    for (int rate : {44100, 32000}) {
        write_sine_track(2, rate, rate / 2, 300.0, 500.0);
        // A second copy: an open data file is not shared with another opener.
        write_file("copy.ogg", read_file(kTrack));
        MusicStream whole, pieces;
        ASSERT_TRUE(whole.open_music(kTrack));
        ASSERT_TRUE(pieces.open_music("copy.ogg"));
        whole.playing = pieces.playing = 1;
        std::vector<float> a = render(whole, 30000, 4096);
        std::vector<float> b = render(pieces, 30000, 8);
        ASSERT_EQ(a, b) << rate;
    }
}

int32_t count_mix_calls(void* context, float* block, int32_t frames) {
    int32_t* calls = static_cast<int32_t*>(context);
    *calls += 1;
    block[0] += 0.25f; // the hook sees the block before it is output
    return frames;
}

TEST_F(MusicStreamTest, AFileThatIsNotVorbisPlaysSilenceThroughTheHook) {
    Bytes noise(5000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 131 + 7);
    write_file(kTrack, noise);
    MusicStream music;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(music.open_music(kTrack)); // found, so the clock will run
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not an Ogg Vorbis"), std::string::npos);
    int32_t calls = 0;
    music.mix_hook = &count_mix_calls;
    music.mix_context = &calls;
    music.playing = 1;
    std::vector<float> block(2 * 512, 1.0f);
    EXPECT_EQ(MusicStream::render_music(&music, block.data(), 512), 512);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(block[0], 0.25f);
    for (size_t i = 1; i < block.size(); ++i) ASSERT_EQ(block[i], 0.0f);
}

TEST_F(MusicStreamTest, AMissingTrackStartsTheOutputAndPlaysSilence) {
    MusicStream music;
    EXPECT_FALSE(music.open_music(kTrack));
    EXPECT_TRUE(music.start_music());
    EXPECT_EQ(music.playing, 1);
    player_close();
    std::vector<float> block(2 * 64, 1.0f);
    EXPECT_EQ(MusicStream::render_music(&music, block.data(), 64), 64);
    for (float sample : block) ASSERT_EQ(sample, 0.0f);
}

TEST_F(MusicStreamTest, NotPlayingRendersSilence) {
    write_sine_track(2, 44100, 8192, 440.0, 440.0);
    MusicStream music;
    ASSERT_TRUE(music.open_music(kTrack));
    std::vector<float> out = render(music, 4096, 4096);
    for (float value : out) ASSERT_EQ(value, 0.0f);
    music.playing = 1; // nothing was consumed meanwhile
    out = render(music, 4096, 4096);
    EXPECT_NEAR(rms(out, 0, 100, 4000), 0.5 / std::sqrt(2.0), 0.03);
}

TEST_F(MusicStreamTest, ThePositionKeepsGrowingAfterTheEndOfTheTrack) {
    write_sine_track(2, 44100, 22050, 440.0, 440.0); // half a second
    MusicStream music;
    ASSERT_TRUE(music.open_music(kTrack));
    music.playing = 1;
    VirtualSoundState sound;
    StreamPlayer player;
    ASSERT_NE(player.open(&MusicStream::render_music, &music, nullptr, new VirtualSoundDevice(&sound),
                          false),
              0u);
    int32_t played = 0;
    double level_before_end = 0.0, level_after_end = 0.0;
    for (int step = 0; step < 400; ++step) { // 400 x 1764 bytes = 4 s
        sound.advance(1764);
        played += 1764;
        player.refill();
        ASSERT_EQ(player.position(), played - 16384) << step;
        // Music written by this refill: the bytes just before the write position.
        int32_t music_bytes = player.written_bytes();
        if (music_bytes > 2000) {
            double level = 0.0;
            for (uint32_t back = 4; back <= 1024; back += 4)
                level += std::abs(sound.sample_at(player.last_write_offset() + 16384 - back));
            if (music_bytes < 88200 - 4000) level_before_end = std::max(level_before_end, level);
            if (music_bytes > 88200 + 4000) level_after_end = std::max(level_after_end, level);
        }
    }
    EXPECT_EQ(player.position(), 400 * 1764 - 16384);
    EXPECT_GT(level_before_end, 1000.0);
    EXPECT_EQ(level_after_end, 0.0);
}

} // namespace
