// The music stream over real Ogg Vorbis tracks: lengths, pitch, levels, silence,
// damage; and its resampler on its own: unity gain, exact lengths, no images or aliases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/music_stream.h"
#include "audio/resampler.h"
#include "test_files.h"

namespace {

const double kTwoPi = 6.283185307179586;
const char* kTrack = "data/audio/velandora.ogg";

float sample_of(const std::vector<float>& stereo, size_t frame, int channel) { return stereo[2 * frame + channel]; }

// The amplitude of `hz` in one channel over frames first..last (Goertzel): by
// default 0.8 s in the middle of a second, which holds whole cycles of every tone used.
double level_at(const std::vector<float>& stereo, double hz, int channel = 0, size_t first = 4410,
                size_t last = 39690) {
    const double coefficient = 2.0 * std::cos(kTwoPi * hz / 44100.0);
    double s1 = 0.0, s2 = 0.0;
    for (size_t frame = first; frame < last; ++frame) {
        const double s0 = sample_of(stereo, frame, channel) + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - coefficient * s1 * s2, 0.0)) / double(last - first);
}

// Renders `frames` frames through render_music in blocks of `block_frames`,
// over garbage that it must overwrite.
std::vector<float> render(MusicStream& music, size_t frames, int32_t block_frames) {
    std::vector<float> out(2 * frames, 7.0f);
    for (size_t done = 0; done < frames;) {
        int32_t n = int32_t(std::min<size_t>(size_t(block_frames), frames - done));
        EXPECT_EQ(MusicStream::render_music(&music, &out[2 * done], n), n);
        done += size_t(n);
    }
    return out;
}

// Tones of 0.5 on channel 0 and on `right` (the other channels silent).
Bytes sine_track(int channels, int rate, int frames, double left_hz, double right_hz, int right = 1) {
    return make_vorbis(channels, rate, frames, [=](int channel, int frame) {
        double hz = channel == 0 ? left_hz : channel == right ? right_hz : 0.0;
        return float(0.5 * std::sin(kTwoPi * hz * frame / rate));
    });
}

class MusicStreamTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
};

// One second of tone at any rate and channel count plays one second at 44100 Hz
// stereo, at its pitch and level; mono goes to both channels, 5.1 (Vorbis
// order: front left, centre, front right, ...) is mixed down. Rendering in
// blocks of 8 gives the same, and nothing is consumed before the music plays.
TEST_F(MusicStreamTest, TracksOfEveryRateAndChannelCountKeepTheirLengthAndPitch) {
    const double surround = 1.0 / (1.0 + 2.0 * 0.70710678);
    const struct { int channels, rate; double left_hz, right_hz, level; } cases[] = {
        {2, 44100, 440.0, 660.0, 1.0}, {1, 22050, 440.0, 440.0, 1.0},
        {2, 48000, 1000.0, 3000.0, 1.0}, {6, 44100, 440.0, 660.0, surround},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate << " Hz");
        // Two copies: an open data file is not shared with another opener.
        const Bytes track = sine_track(c.channels, c.rate, c.rate, c.left_hz, c.right_hz, c.channels == 6 ? 2 : 1);
        scratch.write(kTrack, track);
        scratch.write("copy.ogg", track);
        MusicStream music, pieces;
        ASSERT_TRUE(music.open_music(kTrack));
        ASSERT_TRUE(pieces.open_music("copy.ogg"));
        for (float value : render(pieces, 4096, 4096)) ASSERT_EQ(value, 0.0f);
        music.playing = pieces.playing = 1;
        const std::vector<float> out = render(music, 3 * 4096 * 4, 4096);
        ASSERT_EQ(render(pieces, out.size() / 2, 8), out);
        size_t length = out.size() / 2;
        while (length > 0 && std::fabs(sample_of(out, length - 1, 0)) <= 0.02f) --length;
        EXPECT_NEAR(double(length), 44100.0, c.rate == 44100 ? 40.0 : 80.0);
        EXPECT_LE(length, c.rate == 44100 ? 44100u : 44180u);
        for (size_t frame = c.rate == 44100 ? 44100 : 44100 + 80; frame < out.size() / 2; ++frame)
            ASSERT_EQ(sample_of(out, frame, 0), 0.0f);
        for (size_t frame = 0; c.channels == 1 && frame < out.size() / 2; ++frame)
            ASSERT_EQ(sample_of(out, frame, 0), sample_of(out, frame, 1)) << frame;
        EXPECT_NEAR(level_at(out, c.left_hz, 0), c.level * 0.5, 0.02 * c.level);
        EXPECT_NEAR(level_at(out, c.right_hz, 1), c.level * 0.5, 0.02 * c.level);
    }
}

// A missing track is not found. A file that is not Vorbis is found, so that
// the clock runs, and plays silence, through the mix hook once.
TEST_F(MusicStreamTest, TracksThatCannotPlayGiveSilence) {
    MusicStream missing, noise;
    EXPECT_FALSE(missing.open_music(kTrack));
    Bytes bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 131 + 7);
    scratch.write(kTrack, bytes);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(noise.open_music(kTrack));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not an Ogg Vorbis"), std::string::npos);
    noise.mix_hook = [](void*, float* block, int32_t frames) { return block[0] += 0.25f, frames; };
    noise.playing = 1;
    const std::vector<float> block = render(noise, 512, 512);
    EXPECT_EQ(block[0], 0.25f);
    EXPECT_EQ(std::count(block.begin() + 1, block.end(), 0.0f), 1023);
}

// A damaged page is passed over: the tone goes on after it, natively and
// through the resampler, where a hole must not end the track.
TEST_F(MusicStreamTest, TheToneGoesOnAfterADamagedPage) {
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        // Noise on the right makes many pages, so that the damage is not in the headers.
        StereoBuffer audio;
        audio.rate = rate;
        audio.resize_frames(size_t(2 * rate));
        for (uint32_t i = 0; i < audio.frames(); ++i) {
            audio.samples[2 * i] = float(0.5 * std::sin(kTwoPi * 440.0 * i / rate));
            audio.samples[2 * i + 1] = float((i * 2654435761u >> 16 & 0xFF) / 512.0 - 0.25);
        }
        Bytes bytes = encode_ogg_vorbis(audio, 0.6f, nullptr);
        for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] ^= 0xA5;
        scratch.write(kTrack, bytes);
        MusicStream music;
        ASSERT_TRUE(music.open_music(kTrack));
        music.playing = 1;
        const std::vector<float> out = render(music, 2 * 44100, 4096);
        for (float value : out) ASSERT_LE(std::fabs(value), 1.0f);
        EXPECT_NEAR(level_at(out, 440.0, 0, 60000, 75000), 0.5, 0.03);
    }
}

// A stereo source handed out in small uneven pieces, as a decoder does.
struct Source {
    std::vector<float> stereo;
    size_t next = 0;
    static int32_t pull(void* context, float* out, int32_t frames) {
        Source* self = static_cast<Source*>(context);
        int32_t n = int32_t(std::min<size_t>({self->stereo.size() / 2 - self->next, size_t(frames), size_t(333)}));
        std::copy(self->stereo.begin() + 2 * self->next, self->stereo.begin() + 2 * (self->next + n), out);
        self->next += size_t(n);
        return n;
    }
};

// `frames` frames of `hz` (0: the constant 0.5) at `rate`, converted to 44100 Hz.
std::vector<float> convert(int rate, int frames, double hz) {
    Source source;
    for (int i = 0; i < frames; ++i)
        source.stereo.insert(source.stereo.end(), 2, hz ? float(0.5 * std::sin(kTwoPi * hz * i / rate)) : 0.5f);
    Resampler resampler;
    EXPECT_TRUE(resampler.configure(uint32_t(rate), 44100));
    std::vector<float> out, block(2 * 4096);
    for (int32_t n = 4096; n == 4096;) {
        n = resampler.produce(block.data(), 4096, &Source::pull, &source);
        out.insert(out.end(), block.begin(), block.begin() + 2 * n);
    }
    return out;
}

TEST(Resampler, KeepsAConstantSignalConstantAndGivesExactlyTheDurationOfTheInput) {
    const std::vector<float> constant = convert(32000, 32000, 0.0);
    ASSERT_EQ(constant.size(), 2u * 44100);
    for (size_t i = 200; i < 44100 - 200; ++i) ASSERT_NEAR(constant[2 * i], 0.5f, 1e-5f) << i;
    for (int rate : {8000, 11025, 22050, 32000, 48000, 96000}) {
        const uint64_t frames = uint64_t(rate) * 3 / 2 + 7;  // to ceil(frames x 44100 / rate)
        EXPECT_EQ(convert(rate, int(frames), 100.0).size() / 2, (frames * 44100 + uint64_t(rate) - 1) / uint64_t(rate))
            << rate;
    }
}

TEST(Resampler, KeepsTheToneAndRemovesItsImageAndWhatWouldFoldBack) {
    const std::vector<float> up = convert(22050, 22050, 8000.0);
    EXPECT_NEAR(level_at(up, 8000.0), 0.5, 0.01);
    EXPECT_LT(level_at(up, 22050.0 - 8000.0), 0.5e-3);  // below -60 dB
    EXPECT_NEAR(level_at(convert(48000, 48000, 10000.0), 10000.0), 0.5, 0.01);
    EXPECT_LT(level_at(convert(48000, 48000, 23000.0), 44100.0 - 23000.0), 0.5e-3);  // 23 kHz folds to 21.1
}

TEST(Resampler, RefusesRatesItCannotServe) {
    Resampler resampler;
    for (uint32_t rate : {0u, 999u, 800000u}) EXPECT_FALSE(resampler.configure(rate, 44100)) << rate;
    EXPECT_FALSE(resampler.configured());
    float block[8];
    EXPECT_EQ(resampler.produce(block, 4, &Source::pull, nullptr), 0);
}

}  // namespace
