// The loop mixer: gliding gains, wrapping loops, silent slots, slots and WAVE files.
#include <gtest/gtest.h>

#include <vector>

#include "audio/loop_mixer.h"
#include "test_files.h"

namespace {

class LoopMixerTest : public ::testing::Test {
protected:
    void load(const std::vector<int16_t>& samples, const char* name = "data/audio/loop.wav") {
        scratch.write(name, make_wav(samples));
        ASSERT_TRUE(mixer.load_loop(name));
    }
    ScratchDirectory scratch;
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
    float volume = 0.0f, float_only = 0.0f;
    int float_differs = 0;
    for (int j = 0; j < 4096; ++j) {
        const double gain = double(volume) * (1.0 / 32768.0);
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(block[2 * j + c], float(double(0.1f) + gain * samples[2 * (j % 1000) + c])) << j;
        float_differs += block[2 * j] != 0.1f + float_only / 32768.0f * samples[2 * (j % 1000)];
        volume = float(double(volume) + (double(0.7f) - double(volume)) * 0.01);
        float_only = float_only + (0.7f - float_only) * 0.01f;
    }
    EXPECT_EQ(mixer.slots[0].current_volume, volume);
    EXPECT_EQ(mixer.slots[0].position, 96u);
    // The same sums in float alone come out differently: the rows above tell them apart.
    EXPECT_GT(float_differs, 100);
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
    for (int j = first_silent; j < 4096; ++j) ASSERT_EQ(block[2 * j], 0.0f);
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
    Wav w;
    w.samples = kSamples;
    change(w);
    return w.bytes();
}

// The extensible layout, its fields after the first 16 bytes of the format chunk.
Bytes extensible(uint16_t valid_bits = 16, uint32_t channel_mask = 3, uint16_t subtype = 1,
                 uint32_t format_bytes = 40) {
    Wav w;
    w.samples = kSamples;
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
TEST(WavLoop, FilesAreLoadedOrRefusedAsTheRowSays) {
    ScratchDirectory scratch;
    const Bytes plain = make_wav(kSamples);
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
        EXPECT_EQ(mixer.count, 1u);
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
