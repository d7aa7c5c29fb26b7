// Sound files: the loops (RIFF WAVE) are loaded or refused as a whole and a
// refused loop leaves its slot empty; the music (Ogg Vorbis) is found when
// the file exists and plays silence where it does not decode.
#include <cmath>

#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/wav_loop.h"
#include "bad_input_support.h"
#include "kit/demo/audio_buffer.h"

namespace {

void putTag(Bytes& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// A WAVE file field by field, so each field can be made wrong.
struct Wave {
    uint16_t tag = 1, channels = 2, bits = 16, blockAlign = 4;
    uint32_t rate = 44100, formatSize = 16;  // a format of 18 and more carries extra bytes
    uint32_t frames = 100;                   // frames of sample data present
    int64_t dataSizeField = -1;    // -1: the size of the samples present
    Bytes beforeData;              // chunks between the format and the data chunk
    const char* riffTag = "RIFF";

    Bytes samples() const {
        Bytes out;
        for (uint32_t i = 0; i < frames * 2; ++i) putU16(out, uint16_t(i * 977 + 13));
        return out;
    }

    Bytes bytes() const {
        Bytes out;
        const Bytes data = samples();
        putTag(out, riffTag);
        putU32(out, uint32_t(4 + 8 + formatSize + beforeData.size() + 8 + data.size()));
        putTag(out, "WAVE");
        putTag(out, "fmt ");
        putU32(out, formatSize);
        const size_t format = out.size();
        for (uint32_t value : {uint32_t(tag | channels << 16), rate, rate * blockAlign}) putU32(out, value);
        putU32(out, uint32_t(blockAlign | bits << 16));
        out.resize(format + formatSize, 0);
        out.insert(out.end(), beforeData.begin(), beforeData.end());
        putTag(out, "data");
        putU32(out, dataSizeField >= 0 ? uint32_t(dataSizeField) : uint32_t(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};

template <typename Change>
Bytes waveWith(Change change) {
    Wave w;
    change(w);
    return w.bytes();
}

Bytes chunk(const char* tag, uint32_t size, size_t present) {
    Bytes out;
    putTag(out, tag);
    putU32(out, size);
    out.resize(out.size() + present, 0x11);
    return out;
}

// The frames a row loads; 0 for a refused file.
using WaveRow = Row<uint32_t>;

// Cuts that end in the same check as one of these take the same path.
const std::vector<WaveRow> kWaveRows = {
    {"empty", [] { return Bytes(); }, {0}},
    {"cut_after_the_format_size", [] { return truncated(Wave().bytes(), 20); }, {0}},
    {"cut_in_the_format", [] { return truncated(Wave().bytes(), 30); }, {0}},
    {"cut_after_the_format", [] { return truncated(Wave().bytes(), 36); }, {0}},
    {"cut_in_the_samples", [] { return truncated(Wave().bytes(), 44 + 10); }, {0}},
    {"garbage", [] { return garbage(1000, 4); }, {0}},
    {"format_shorter_than_16", [] { return waveWith([](Wave& w) { w.formatSize = 14; }); }, {0}},
    {"format_beyond_the_end", [] { return patchedU32(Wave().bytes(), 16, 0xFFFFFFF0u); }, {0}},
    {"mono", [] { return waveWith([](Wave& w) { w.channels = 1; w.blockAlign = 2; }); }, {0}},
    {"eight_bits", [] { return waveWith([](Wave& w) { w.bits = 8; w.blockAlign = 2; }); }, {0}},
    {"float_samples", [] { return waveWith([](Wave& w) { w.tag = 3; w.bits = 32; w.blockAlign = 8; }); }, {0}},
    {"rate_22050", [] { return waveWith([](Wave& w) { w.rate = 22050; }); }, {0}},
    {"block_align_zero", [] { return waveWith([](Wave& w) { w.blockAlign = 0; }); }, {0}},
    {"no_data_chunk", [] { return truncated(waveWith([](Wave& w) { w.beforeData = chunk("LIST", 4, 4); }), 36 + 12); }, {0}},
    {"data_chunk_of_zero_bytes", [] { return waveWith([](Wave& w) { w.frames = 0; }); }, {0}},
    {"data_chunk_below_one_frame", [] { return waveWith([](Wave& w) { w.dataSizeField = 3; }); }, {0}},
    {"data_size_beyond_the_end", [] { return waveWith([](Wave& w) { w.dataSizeField = 0xFFFFFFFFu; }); }, {0}},
    {"chunk_size_beyond_the_end", [] { return waveWith([](Wave& w) { w.beforeData = chunk("LIST", 0xFFFFFFF0u, 8); }); }, {0}},
    {"whole", [] { return Wave().bytes(); }, {100}},
    {"one_frame", [] { return waveWith([](Wave& w) { w.frames = 1; }); }, {1}},
    {"data_size_not_a_whole_frame", [] { return waveWith([](Wave& w) { w.dataSizeField = 399; }); }, {99}},
    {"extended_format_of_18_bytes", [] { return waveWith([](Wave& w) { w.formatSize = 18; }); }, {100}},
    {"long_format_of_40_bytes", [] { return waveWith([](Wave& w) { w.formatSize = 40; }); }, {100}},
    {"chunks_before_the_data", [] { return waveWith([](Wave& w) {
         w.beforeData = chunk("LIST", 5, 5);
         Bytes fact = chunk("fact", 4, 4);
         w.beforeData.insert(w.beforeData.end(), fact.begin(), fact.end());
     }); }, {100}},
    {"other_riff_tag", [] { return waveWith([](Wave& w) { w.riffTag = "RIFX"; }); }, {100}},
};

class WaveMatrix : public ScratchTest, public ::testing::WithParamInterface<WaveRow> {};

TEST_P(WaveMatrix, LoadsOrRefusesAsTheRowSays) {
    const WaveRow& row = GetParam();
    const Bytes bytes = row.make();
    writeFile("loop.wav", bytes);
    int16_t* samples = nullptr;
    uint32_t frames = 0;
    const bool loaded = load_wav_loop("loop.wav", &samples, &frames);
    EXPECT_EQ(loaded, row.expected > 0);
    EXPECT_EQ(frames, row.expected);
    if (loaded) {
        ASSERT_NE(samples, nullptr);
        const Bytes expected = Wave{}.samples();
        for (uint32_t i = 0; i < frames * 2; ++i)
            ASSERT_EQ(uint16_t(samples[i]), uint16_t(expected[2 * i] | expected[2 * i + 1] << 8)) << i;
    } else {
        EXPECT_EQ(samples, nullptr);
    }
    free_loop_samples(samples);

    // In the mixer a refused loop still takes its slot, which stays empty.
    LoopMixer mixer;
    EXPECT_EQ(mixer.load_loop("loop.wav"), loaded);
    EXPECT_EQ(mixer.count, 1u);
    EXPECT_EQ(mixer.slots[0].samples != nullptr, loaded);
    EXPECT_EQ(mixer.slots[0].frames, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, WaveMatrix, ::testing::ValuesIn(kWaveRows), rowName<uint32_t>);

TEST_F(ScratchTest, AMissingLoopIsRefusedAndItsSlotStaysEmpty) {
    int16_t* samples = nullptr;
    uint32_t frames = 5;
    EXPECT_FALSE(load_wav_loop("missing.wav", &samples, &frames));
    EXPECT_EQ(samples, nullptr);
    EXPECT_EQ(frames, 0u);
    LoopMixer mixer;
    EXPECT_FALSE(mixer.load_loop("missing.wav"));
    EXPECT_EQ(mixer.count, 1u);
    EXPECT_EQ(mixer.slots[0].samples, nullptr);
}

// Music: what is heard of one second of a track, rendered as the refill does.
// Silent: found, but nothing decodes; audible: at least part of the tone is heard, then silence.
enum class MusicOutcome { silent, audible };

const Bytes& validTrack() {
    static const Bytes bytes = [] {
        // Four seconds, so that the stream's set-up headers are a small part of it.
        StereoBuffer audio;
        audio.resize_frames(4 * 44100);
        for (size_t i = 0; i < audio.frames(); ++i)
            audio.samples[2 * i] = audio.samples[2 * i + 1] = float(0.5 * std::sin(i * 2 * M_PI * 440 / 44100));
        std::string error;
        Bytes track = encode_ogg_vorbis(audio, 0.2f, &error);
        EXPECT_FALSE(track.empty()) << error;
        return track;
    }();
    return bytes;
}

Bytes withFlippedMiddle(Bytes bytes) {
    for (size_t i = bytes.size() * 3 / 5; i < bytes.size() * 3 / 5 + 64 && i < bytes.size(); ++i) bytes[i] ^= 0xA5;
    return bytes;
}

using MusicRow = Row<MusicOutcome>;
const std::vector<MusicRow> kMusicRows = {
    {"empty", [] { return Bytes(); }, MusicOutcome::silent},
    {"one_byte", [] { return Bytes(1, 'O'); }, MusicOutcome::silent},
    {"cut_in_the_first_page", [] { return truncated(validTrack(), 20); }, MusicOutcome::silent},
    {"cut_in_the_headers", [] { return truncated(validTrack(), 200); }, MusicOutcome::silent},
    {"garbage", [] { return garbage(20000, 5); }, MusicOutcome::silent},
    {"cut_at_three_quarters", [] { return truncated(validTrack(), validTrack().size() * 3 / 4); }, MusicOutcome::audible},
    {"damaged_in_the_middle", [] { return withFlippedMiddle(validTrack()); }, MusicOutcome::audible},
    {"whole", [] { return validTrack(); }, MusicOutcome::audible},
};

class MusicMatrix : public ScratchTest, public ::testing::WithParamInterface<MusicRow> {};

TEST_P(MusicMatrix, PlaysWhatDecodesAndSilenceOtherwise) {
    const MusicRow& row = GetParam();
    writeFile("music.ogg", row.make());
    MusicStream music;
    ASSERT_TRUE(music.open_music("music.ogg"));
    music.playing = 1;
    std::vector<float> block(2 * 4096);
    size_t audible = 0;
    for (int i = 0; i < 48; ++i) {  // about 4.5 s: the track and silence after it
        std::fill(block.begin(), block.end(), 7.0f);
        MusicStream::render_music(&music, block.data(), 4096);
        for (float sample : block) {
            ASSERT_TRUE(std::isfinite(sample));
            ASSERT_LE(std::fabs(sample), 1.5f);
            audible += std::fabs(sample) > 0.05f;
        }
    }
    if (row.expected == MusicOutcome::silent) {
        EXPECT_EQ(audible, 0u);
    } else {
        EXPECT_GT(audible, 1000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, MusicMatrix, ::testing::ValuesIn(kMusicRows), rowName<MusicOutcome>);

TEST_F(ScratchTest, MissingMusicIsNotFound) {
    MusicStream music;
    EXPECT_FALSE(music.open_music("missing.ogg"));
}

}  // namespace
