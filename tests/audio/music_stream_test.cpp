// The music stream over real Ogg Vorbis tracks: lengths, pitch, levels, silence,
// damage; its resampler on its own: unity gain, exact lengths, no images or
// aliases; and the loop mixer: gliding gains, wrapping loops, silent slots,
// slots and WAVE files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/loop_mixer.h"
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
    scratch.write(kTrack, Bytes(5000, 0x5A));
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
        Bytes bytes = make_vorbis(2, rate, 2 * rate, [rate](int channel, int frame) {
            return channel ? float((uint32_t(frame) * 2654435761u >> 16 & 0xFF) / 512.0 - 0.25)
                           : float(0.5 * std::sin(kTwoPi * 440.0 * frame / rate));
        });
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

// It keeps a constant signal constant, gives exactly the duration of the input
// and refuses rates it cannot serve.
TEST(Resampler, KeepsAConstantSignalConstantAndTheDurationExact) {
    const std::vector<float> constant = convert(32000, 32000, 0.0);
    ASSERT_EQ(constant.size(), 2u * 44100);
    for (size_t i = 200; i < 44100 - 200; ++i) ASSERT_NEAR(constant[2 * i], 0.5f, 1e-5f) << i;
    for (int rate : {8000, 11025, 22050, 32000, 48000, 96000}) {
        const uint64_t frames = uint64_t(rate) * 3 / 2 + 7;  // to ceil(frames x 44100 / rate)
        EXPECT_EQ(convert(rate, int(frames), 100.0).size() / 2, (frames * 44100 + uint64_t(rate) - 1) / uint64_t(rate))
            << rate;
    }
    Resampler resampler;
    for (uint32_t rate : {0u, 999u, 800000u}) EXPECT_FALSE(resampler.configure(rate, 44100)) << rate;
    EXPECT_FALSE(resampler.configured());
    float block[8];
    EXPECT_EQ(resampler.produce(block, 4, &Source::pull, nullptr), 0);
}

TEST(Resampler, KeepsTheToneAndRemovesItsImageAndWhatWouldFoldBack) {
    const std::vector<float> up = convert(22050, 22050, 8000.0);
    EXPECT_NEAR(level_at(up, 8000.0), 0.5, 0.01);
    EXPECT_LT(level_at(up, 22050.0 - 8000.0), 0.5e-3);  // below -60 dB
    EXPECT_NEAR(level_at(convert(48000, 48000, 10000.0), 10000.0), 0.5, 0.01);
    EXPECT_LT(level_at(convert(48000, 48000, 23000.0), 44100.0 - 23000.0), 0.5e-3);  // 23 kHz folds to 21.1
}

class LoopMixerTest : public MusicStreamTest {
protected:
    void load(const std::vector<int16_t>& samples, const char* name = "data/audio/loop.wav") {
        scratch.write(name, Wav{samples}.bytes());
        ASSERT_TRUE(mixer.load_loop(name));
    }
    LoopMixer mixer;
};

// Frame by frame, over a loop of 1000 frames that wraps four times in the
// block: the music plus volume / 32768 x sample, then the volume glides 1 % of
// the way to its target, worked in double and each step stored as float.
TEST_F(LoopMixerTest, GainAndGlideAreWorkedInDoubleAndTheLoopWraps) {
    std::vector<int16_t> samples;
    for (int i = 0; i < 1000; ++i) samples.insert(samples.end(), {int16_t(31 * i - 15000), int16_t(7777 - 13 * i)});
    load(samples);
    mixer.slots[0].target_volume = 0.7f;
    std::vector<float> block(2 * 4096, 0.1f);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    float volume = 0.0f;
    for (int j = 0; j < 4096; ++j) {
        const double gain = double(volume) * (1.0 / 32768.0);
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(block[2 * j + c], float(double(0.1f) + gain * samples[2 * (j % 1000) + c])) << j;
        volume = float(double(volume) + (double(0.7f) - double(volume)) * 0.01);
    }
    EXPECT_EQ(mixer.slots[0].current_volume, volume);
    EXPECT_EQ(mixer.slots[0].position, 96u);
}

TEST_F(LoopMixerTest, TheFadeOutReachesTheFloorAfterAbout1186FramesAndTheSilentSlotWaits) {
    load(std::vector<int16_t>(2 * 5000, 30000));
    mixer.slots[0].current_volume = 0.15f;
    std::vector<float> block(2 * 4096, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    int first_silent = 0;
    while (first_silent < 4096 && block[2 * first_silent] > 0.0f) ++first_silent;
    // The frame after the volume snaps to 0 is the first silent one.
    EXPECT_NEAR(first_silent, 1186, 2);
    EXPECT_EQ(mixer.slots[0].current_volume, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    EXPECT_EQ(mixer.slots[0].position, 4096u);  // silent now: it stays put
    mixer.slots[0].target_volume = 0.5f;         // and resumes where it stopped
    LoopMixer::mix_loops(&mixer, block.data(), 256);
    EXPECT_EQ(mixer.slots[0].position, 4096u + 256);
}

TEST_F(LoopMixerTest, AMissingFileTakesItsSlotAndANinthLoadIsRefused) {
    EXPECT_FALSE(mixer.load_loop("data/audio/missing.wav"));
    load(std::vector<int16_t>(2 * 64, 2), "data/audio/loop_active.wav");
    EXPECT_EQ(mixer.slots[0].samples, nullptr);
    ASSERT_EQ(mixer.slots[1].frames, 64u);
    EXPECT_EQ(mixer.slots[1].samples[1], 2);
    // The empty slot is skipped even with a target.
    mixer.slots[0].target_volume = 1.0f;
    std::vector<float> block(2 * 16, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 16);
    for (float value : block) EXPECT_EQ(value, 0.0f);
    for (int i = 2; i < 8; ++i) load(std::vector<int16_t>(2 * 8, int16_t(i)));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mixer.load_loop("data/audio/loop.wav"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("slots"), std::string::npos);
    EXPECT_EQ(mixer.count, 8u);
    ASSERT_EQ(mixer.slots[7].frames, 8u);
    EXPECT_EQ(mixer.slots[7].samples[0], 7);
}

const std::vector<int16_t> kSamples = {1, -2, 300, -400, 32767, -32768};

Bytes wav(void (*change)(Wav&)) {
    Wav w(kSamples);
    change(w);
    return w.bytes();
}

// The extensible layout, its fields after the first 16 bytes of the format chunk.
Bytes extensible(uint16_t valid_bits = 16, uint32_t channel_mask = 3, uint16_t subtype = 1,
                 uint32_t format_bytes = 40) {
    Wav w(kSamples);
    w.tag = 0xFFFE;
    w.format_bytes = format_bytes;
    for (uint32_t value : {22u, uint32_t(valid_bits)}) put(w.extension, value, 2);
    put(w.extension, channel_mask, 4);
    put(w.extension, subtype, 2);
    w.extension.insert(w.extension.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    return w.bytes();
}

// Every row is loaded into a fresh mixer: `frames` of the samples, or refused
// (0) with the slot left empty and a message naming the file. The plain file
// is 56 bytes: the format chunk ends at 36, the samples start at 44.
TEST_F(MusicStreamTest, WaveLoopsAreLoadedOrRefusedAsTheRowSays) {
    const Bytes plain = Wav{kSamples}.bytes();
    auto cut = [&plain](size_t size) { return Bytes(plain.begin(), plain.begin() + ptrdiff_t(size)); };
    const struct { const char* what; Bytes file; uint32_t frames; } rows[] = {
        {"plain", plain, 3},
        {"format of 44 bytes", wav([](Wav& w) { w.format_bytes = 44; }), 3},
        {"extensible", extensible(), 3},
        {"extensible, no channel mask", extensible(16, 0), 3},
        {"chunks before the data", wav([](Wav& w) {
             w.before_data = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 1, 2, 3, 4, 'f', 'a', 'c', 't', 2, 0, 0, 0, 9, 9};
         }), 3},
        {"data size not a whole frame", wav([](Wav& w) { w.data_bytes = 11; }), 2},
        {"data below one frame", wav([](Wav& w) { w.data_bytes = 3; }), 0},
        {"data size past the end", wav([](Wav& w) { w.data_bytes = 0xFFFFFFFFu; }), 0},
        {"empty", Bytes(), 0},
        {"cut in the format", cut(30), 0},
        {"cut after the format", cut(36), 0},
        {"cut in a chunk header", cut(40), 0},
        {"cut in the samples", cut(50), 0},
        {"format of 15 bytes", wav([](Wav& w) { w.format_bytes = 15; }), 0},
        {"tag 3", wav([](Wav& w) { w.tag = 3; }), 0},
        {"mono", wav([](Wav& w) { w.channels = 1; }), 0},
        {"8 bits", wav([](Wav& w) { w.bits = 8; }), 0},
        {"48000 Hz", wav([](Wav& w) { w.rate = 48000; }), 0},
        {"block align 8", wav([](Wav& w) { w.block_align = 8; }), 0},
        {"block align 0", wav([](Wav& w) { w.block_align = 0; }), 0},
        {"extensible, 12 valid bits", extensible(12), 0},
        {"extensible, centre and LFE", extensible(16, 0x8 | 0x4), 0},
        {"extensible, float subtype", extensible(16, 3, 3), 0},
        {"extensible of 18 bytes", extensible(16, 3, 1, 18), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        scratch.write("loop.wav", row.file);
        LoopMixer mixer;
        testing::internal::CaptureStderr();
        EXPECT_EQ(mixer.load_loop("loop.wav"), row.frames > 0);
        const std::string message = testing::internal::GetCapturedStderr();
        ASSERT_EQ(mixer.slots[0].frames, row.frames);
        ASSERT_EQ(mixer.slots[0].samples != nullptr, row.frames > 0);
        if (row.frames)
            EXPECT_EQ(std::vector<int16_t>(mixer.slots[0].samples, mixer.slots[0].samples + 2 * row.frames),
                      std::vector<int16_t>(kSamples.begin(), kSamples.begin() + 2 * row.frames));
        else
            EXPECT_NE(message.find("loop.wav"), std::string::npos) << message;
    }
}

}  // namespace
