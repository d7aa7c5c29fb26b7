// The loop mixer: gliding gains, wrapping loops, silent slots, slot numbering
// and the WAV files it accepts and refuses.
#include <gtest/gtest.h>

#include <vector>

#include "audio/loop_mixer.h"
#include "test_files.h"

namespace {

std::vector<int16_t> constant_frames(uint32_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> samples;
    for (uint32_t i = 0; i < frames; ++i) {
        samples.push_back(left);
        samples.push_back(right);
    }
    return samples;
}

class LoopMixerTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
    LoopMixer mixer;

    // Loads the samples as a WAV file into the next slot.
    void load(const std::vector<int16_t>& samples, const char* name = "data/audio/loop.wav") {
        write_file(name, make_wav(samples));
        ASSERT_TRUE(mixer.load_loop(name));
    }
};

TEST_F(LoopMixerTest, TheFirstMixedFramesFollowTheGlide) {
    load(constant_frames(100, 10000, -20000));
    mixer.slots[0].target_volume = 0.15f;
    std::vector<float> block(2 * 3, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 3);
    // Frame 0 at the current volume 0, frame 1 at 0.15 x 0.01.
    EXPECT_EQ(block[0], 0.0f);
    EXPECT_EQ(block[1], 0.0f);
    EXPECT_FLOAT_EQ(block[2], 0.0015f / 32768 * 10000);
    EXPECT_FLOAT_EQ(block[3], 0.0015f / 32768 * -20000);
    float second = 0.0015f + (0.15f - 0.0015f) * 0.01f;
    EXPECT_FLOAT_EQ(block[4], second / 32768 * 10000);
    EXPECT_EQ(mixer.slots[0].position, 3u);
}

TEST_F(LoopMixerTest, GainAndGlideAreWorkedInDoubleAndStoredAsFloat) {
    load(constant_frames(3000, 12345, -7777));
    mixer.slots[0].target_volume = 0.7f;
    const int32_t frames = 2000;
    std::vector<float> block(2 * frames, 0.1f);
    LoopMixer::mix_loops(&mixer, block.data(), frames);
    // Frame by frame: the music plus volume / 32768 x sample, then the volume
    // glides 1 % of the way to its target, each step rounded to float.
    float volume = 0.0f, float_only = 0.0f;
    int float_differs = 0;
    for (int32_t j = 0; j < frames; ++j) {
        const double gain = double(volume) * (1.0 / 32768.0);
        ASSERT_EQ(block[2 * j], float(double(0.1f) + gain * 12345)) << j;
        ASSERT_EQ(block[2 * j + 1], float(double(0.1f) + gain * -7777)) << j;
        float_differs += block[2 * j] != 0.1f + float_only / 32768.0f * 12345.0f;
        volume = float(double(volume) + (double(0.7f) - double(volume)) * 0.01);
        float_only = float_only + (0.7f - float_only) * 0.01f;
    }
    EXPECT_EQ(mixer.slots[0].current_volume, volume);
    // The same sums in float alone come out differently: the rows above tell them apart.
    EXPECT_GT(float_differs, 100);
}

TEST_F(LoopMixerTest, TheLoopIsAddedToTheMusic) {
    load(constant_frames(10, 16384, 16384));
    mixer.slots[0].target_volume = 1.0f;
    mixer.slots[0].current_volume = 1.0f;
    std::vector<float> block(2 * 4, 0.25f);
    LoopMixer::mix_loops(&mixer, block.data(), 4);
    for (float value : block) EXPECT_FLOAT_EQ(value, 0.75f);
}

TEST_F(LoopMixerTest, AThousandFrameLoopWrapsFourTimesInABlockOf4096) {
    std::vector<int16_t> samples;
    for (int i = 0; i < 1000; ++i) {
        samples.push_back(int16_t(i));
        samples.push_back(int16_t(-i));
    }
    load(samples);
    mixer.slots[0].target_volume = 1.0f;
    mixer.slots[0].current_volume = 1.0f;
    std::vector<float> block(2 * 4096, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    int wraps = 0;
    for (int j = 0; j < 4096; ++j) {
        ASSERT_FLOAT_EQ(block[2 * j] * 32768, float(j % 1000)) << j;
        ASSERT_FLOAT_EQ(block[2 * j + 1] * 32768, -float(j % 1000)) << j;
        if (j > 0 && block[2 * j] == 0.0f && block[2 * j - 2] * 32768 == 999.0f) ++wraps;
    }
    EXPECT_EQ(wraps, 4);
    EXPECT_EQ(mixer.slots[0].position, 96u);
}

TEST_F(LoopMixerTest, ASilentSlotKeepsItsPosition) {
    load(constant_frames(500, 1000, 1000));
    mixer.slots[0].position = 123;
    std::vector<float> block(2 * 256, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 256);
    LoopMixer::mix_loops(&mixer, block.data(), 256);
    EXPECT_EQ(mixer.slots[0].position, 123u);
    for (float value : block) ASSERT_EQ(value, 0.0f);
    // Audible again, it resumes where it stopped.
    mixer.slots[0].target_volume = 0.5f;
    LoopMixer::mix_loops(&mixer, block.data(), 256);
    EXPECT_EQ(mixer.slots[0].position, 379u);
}

TEST_F(LoopMixerTest, TheFadeOutReachesTheFloorAfterAbout1186Frames) {
    load(constant_frames(5000, 30000, 30000));
    mixer.slots[0].current_volume = 0.15f;
    mixer.slots[0].target_volume = 0.0f;
    std::vector<float> block(2 * 4096, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    int first_silent = -1;
    for (int j = 0; j < 4096; ++j) {
        if (block[2 * j] == 0.0f) {
            first_silent = j;
            break;
        }
        ASSERT_GT(block[2 * j], 0.0f);
    }
    // The frame after the volume snaps to 0 is the first silent one.
    EXPECT_NEAR(first_silent, 1186, 2);
    for (int j = first_silent; j < 4096; ++j) ASSERT_EQ(block[2 * j], 0.0f);
    EXPECT_EQ(mixer.slots[0].current_volume, 0.0f);
    EXPECT_EQ(mixer.slots[0].position, 4096u);
    LoopMixer::mix_loops(&mixer, block.data(), 4096);
    EXPECT_EQ(mixer.slots[0].position, 4096u); // silent now: it stays put
}

TEST_F(LoopMixerTest, AMissingFileStillTakesItsSlot) {
    EXPECT_FALSE(mixer.load_loop("data/audio/missing.wav"));
    load(constant_frames(64, 1, 2), "data/audio/loop_active.wav");
    EXPECT_EQ(mixer.count, 2u);
    EXPECT_EQ(mixer.slots[0].samples, nullptr);
    ASSERT_NE(mixer.slots[1].samples, nullptr);
    EXPECT_EQ(mixer.slots[1].frames, 64u);
    EXPECT_EQ(mixer.slots[1].samples[1], 2);
    // The empty slot is skipped even with a target.
    mixer.slots[0].target_volume = 1.0f;
    mixer.slots[1].target_volume = 0.0f;
    std::vector<float> block(2 * 16, 0.0f);
    LoopMixer::mix_loops(&mixer, block.data(), 16);
    for (float value : block) EXPECT_EQ(value, 0.0f);
}

TEST_F(LoopMixerTest, ANinthLoadIsRefused) {
    for (int i = 0; i < 8; ++i) load(constant_frames(8, int16_t(i), 0));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mixer.load_loop("data/audio/loop.wav"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("slots"), std::string::npos);
    EXPECT_EQ(mixer.count, 8u);
    EXPECT_EQ(mixer.slots[7].samples[0], 7);
}

TEST_F(LoopMixerTest, ChunksBeforeTheDataAndLongFormatChunksArePassedOver) {
    Bytes file;
    put_tag(file, "RIFF");
    put_u32(file, 0);
    put_tag(file, "WAVE");
    put_tag(file, "fmt ");
    put_u32(file, 26); // 16 bytes of format, cbSize, 8 more bytes
    put_u16(file, 1);
    put_u16(file, 2);
    put_u32(file, 44100);
    put_u32(file, 176400);
    put_u16(file, 4);
    put_u16(file, 16);
    put_u16(file, 8);
    for (int i = 0; i < 8; ++i) file.push_back(0xEE);
    put_tag(file, "LIST");
    put_u32(file, 5); // odd size: no pad byte follows
    for (int i = 0; i < 5; ++i) file.push_back('x');
    put_tag(file, "data");
    put_u32(file, 14); // three whole frames and two stray bytes
    for (int i = 0; i < 7; ++i) put_u16(file, uint16_t(100 + i));
    write_file("data/audio/odd.wav", file);
    ASSERT_TRUE(mixer.load_loop("data/audio/odd.wav"));
    EXPECT_EQ(mixer.slots[0].frames, 3u);
    EXPECT_EQ(mixer.slots[0].samples[0], 100);
    EXPECT_EQ(mixer.slots[0].samples[5], 105);
}

// Every malformed or foreign file is refused: the slot stays empty, keeps its
// number, and a message says why.
struct RefusedCase {
    const char* what;
    Bytes file;
};

std::vector<RefusedCase> refused_cases() {
    std::vector<RefusedCase> cases;
    std::vector<int16_t> frames = constant_frames(16, 5, 5);
    cases.push_back({"mono", make_wav(frames, 1, 44100, 16, 2)});
    cases.push_back({"8-bit", make_wav(frames, 2, 44100, 8, 2)});
    cases.push_back({"22050 Hz", make_wav(frames, 2, 22050, 16, 4)});
    cases.push_back({"float tag", make_wav(frames, 2, 44100, 16, 4, 3)});
    cases.push_back({"block align 0", make_wav(frames, 2, 44100, 16, 0)});
    cases.push_back({"block align 8", make_wav(frames, 2, 44100, 16, 8)});
    {
        Bytes file = make_wav(frames);
        file[40] = 0xFF; // data size far beyond the file
        file[41] = 0xFF;
        cases.push_back({"data chunk longer than the file", file});
    }
    {
        Bytes file = make_wav(frames);
        file.resize(file.size() - 2); // one sample short
        cases.push_back({"data chunk one sample short", file});
    }
    {
        Bytes file;
        put_tag(file, "RIFF");
        put_u32(file, 0);
        put_tag(file, "WAVE");
        put_tag(file, "fmt ");
        put_u32(file, 12);
        put_u16(file, 1);
        put_u16(file, 2);
        put_u32(file, 44100);
        put_u32(file, 176400);
        cases.push_back({"format chunk shorter than 16 bytes", file});
    }
    {
        Bytes file = make_wav(frames);
        file[16] = 0x00; // format chunk size 0x10000000
        file[19] = 0x10;
        cases.push_back({"format chunk past the end", file});
    }
    {
        Bytes file = make_wav(frames);
        Bytes chunk;
        put_tag(chunk, "junk");
        put_u32(chunk, 0x7FFFFFF0);
        file.insert(file.begin() + 36, chunk.begin(), chunk.end());
        cases.push_back({"chunk size past the end", file});
    }
    {
        Bytes file = make_wav(frames);
        Bytes chunk;
        put_tag(chunk, "junk");
        put_u32(chunk, 0xFFFFFFFF); // would be a negative seek
        file.insert(file.begin() + 36, chunk.begin(), chunk.end());
        cases.push_back({"chunk size of -1", file});
    }
    {
        Bytes file = make_wav(frames);
        file.resize(36); // header only
        cases.push_back({"no data chunk", file});
    }
    {
        Bytes file = make_wav(frames);
        file.resize(38); // half a chunk header
        cases.push_back({"truncated chunk header", file});
    }
    {
        Bytes file = make_wav({});
        cases.push_back({"empty data chunk", file});
    }
    cases.push_back({"empty file", Bytes()});
    cases.push_back({"short header", Bytes(12, 0)});
    return cases;
}

TEST_F(LoopMixerTest, RefusedFilesLeaveTheirSlotEmpty) {
    std::vector<RefusedCase> cases = refused_cases();
    for (size_t i = 0; i < cases.size(); ++i) {
        LoopMixer fresh;
        write_file("bad.wav", cases[i].file);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(fresh.load_loop("bad.wav")) << cases[i].what;
        std::string message = testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find("bad.wav"), std::string::npos) << cases[i].what;
        EXPECT_EQ(fresh.count, 1u) << cases[i].what;
        EXPECT_EQ(fresh.slots[0].samples, nullptr) << cases[i].what;
        EXPECT_EQ(fresh.slots[0].frames, 0u) << cases[i].what;
        // The next load still lands in slot 1.
        write_file("good.wav", make_wav(constant_frames(4, 7, 7)));
        EXPECT_TRUE(fresh.load_loop("good.wav")) << cases[i].what;
        EXPECT_EQ(fresh.slots[1].frames, 4u) << cases[i].what;
    }
}

} // namespace
