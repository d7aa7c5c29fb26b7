// The demo show's generated content: captions, pictures, music and loops.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "audio/loop_mixer.h"
#include "kit/demo/audio_buffer.h"
#include "kit/demo/captions.h"
#include "kit/demo/demo_pictures.h"
#include "kit/demo/music.h"
#include "tests/support/scratch_directory.h"

TEST(DemoCaptions, OneShortLatin1LinePerPicture) {
    const std::string text = demo_captions();
    int lines = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        std::string line = text.substr(start, end - start);
        EXPECT_FALSE(line.empty());
        EXPECT_LT(line.size(), 50u) << line;
        for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xA0)) << int(c);
        start = end + 2;
        ++lines;
    }
    EXPECT_EQ(lines, demo_picture_count());
    for (const char* accent : {"\xE9", "\xE0", "\xF6", "\xF1", "\xFC"})
        EXPECT_NE(text.find(accent), std::string::npos) << "missing Latin-1 byte " << int(uint8_t(accent[0]));
}

TEST(DemoPictures, AtLeastEightRichAndDistinctPictures) {
    ASSERT_GE(demo_picture_count(), 8);
    std::vector<DemoImage> pictures;
    std::set<std::string> names;
    for (int i = 0; i < demo_picture_count(); ++i) {
        pictures.push_back(make_demo_picture(i, 1024, 512));
        names.insert(demo_picture_name(i));
        const DemoImage& p = pictures.back();
        ASSERT_EQ(p.width, 1024);
        ASSERT_EQ(p.height, 512);
        // Many colours and real contrast, not a flat or two-tone picture.
        std::vector<bool> seen(1 << 24);
        size_t colours = 0;
        double sum = 0, squares = 0;
        for (size_t j = 0; j < p.rgb.size(); j += 3) {
            const uint32_t colour = uint32_t(p.rgb[j]) << 16 | uint32_t(p.rgb[j + 1]) << 8 | p.rgb[j + 2];
            colours += !seen[colour];
            seen[colour] = true;
            double luma = 0.3 * p.rgb[j] + 0.59 * p.rgb[j + 1] + 0.11 * p.rgb[j + 2];
            sum += luma;
            squares += luma * luma;
        }
        double n = double(p.rgb.size() / 3);
        double deviation = std::sqrt(squares / n - (sum / n) * (sum / n));
        EXPECT_GT(colours, 1000u) << demo_picture_name(i);
        EXPECT_GT(deviation, 12.0) << demo_picture_name(i);
    }
    EXPECT_EQ(int(names.size()), demo_picture_count());
    EXPECT_EQ(make_demo_picture(3, 1024, 512).rgb, pictures[3].rgb);  // the same input, the same picture
    // Mean absolute difference per channel value.
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j) {
            const std::vector<uint8_t>& a = pictures[i].rgb, &b = pictures[j].rgb;
            double sum = 0;
            for (size_t k = 0; k < a.size(); ++k) sum += std::abs(a[k] - b[k]);
            EXPECT_GT(sum / double(a.size()), 15.0) << i << " and " << j;
        }
}

TEST(DemoMusic, CoversEverySlotAndIsNeverSilentDuringIt) {
    const int pictures = 3;
    StereoBuffer music = compose_demo_music(pictures);
    EXPECT_EQ(music.rate, 44100);
    const double seconds = double(music.frames()) / music.rate;
    EXPECT_GE(seconds, 2.5 + 6.0 * pictures + 2.0);
    float peak = 0;
    for (float s : music.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_LE(peak, 1.0f);
    for (int slot = 0; slot < pictures; ++slot) {
        size_t begin = size_t((2.5 + slot * 6.0) * music.rate), end = begin + size_t(6.0 * music.rate);
        double energy = 0;
        for (size_t n = begin; n < end; ++n) energy += double(music.samples[n * 2]) * music.samples[n * 2];
        EXPECT_GT(std::sqrt(energy / double(end - begin)), 0.03) << "slot " << slot;
    }
}

// Seamless where they wrap (no step larger than the largest inside); the
// active loop's clicks die away inside it; as WAVE files the mixer loads
// them, each sample rounded to 16 bits as written.
TEST(DemoLoops, SeamlessClickingAndLoadedByTheMixer) {
    const StereoBuffer idle = make_idle_loop(), active = make_active_loop();
    for (const StereoBuffer* loop : {&idle, &active}) {
        ASSERT_GT(loop->frames(), 44100u / 2);
        const std::vector<float>& s = loop->samples;
        for (size_t channel = 0; channel < 2; ++channel) {
            float largest = 0;
            for (size_t n = 1; n < loop->frames(); ++n)
                largest = std::max(largest, std::fabs(s[n * 2 + channel] - s[(n - 1) * 2 + channel]));
            EXPECT_LE(std::fabs(s[channel] - s[s.size() - 2 + channel]), largest);
        }
    }
    EXPECT_LT(std::fabs(active.samples[0]), 0.01f);
    EXPECT_LT(std::fabs(active.samples[active.samples.size() - 1]), 0.01f);
    // Onsets: the level crossing a threshold upwards after a quiet gap.
    int clicks = 0;
    size_t quiet = 1000;
    for (size_t n = 0; n < active.frames(); ++n) {
        float level = std::fabs(active.samples[n * 2]) + std::fabs(active.samples[n * 2 + 1]);
        if (level > 0.1f && quiet >= 1000) ++clicks;
        quiet = level > 0.02f ? 0 : quiet + 1;
    }
    EXPECT_GE(clicks, 10);
    EXPECT_LE(clicks, 40);
    ScratchDirectory dir;
    dir.write("data/audio/loop_idle.wav", encode_wav16(idle));
    dir.write("data/audio/loop_active.wav", encode_wav16(active));
    LoopMixer mixer;
    ASSERT_TRUE(mixer.load_loop("data/audio/loop_idle.wav"));
    ASSERT_TRUE(mixer.load_loop("data/audio/loop_active.wav"));
    EXPECT_EQ(mixer.slots[1].frames, active.frames());
    ASSERT_EQ(mixer.slots[0].frames, idle.frames());
    for (size_t n : {size_t(0), size_t(1234), idle.frames() - 1})
        EXPECT_EQ(mixer.slots[0].samples[n * 2 + 1], int16_t(std::lround(idle.samples[n * 2 + 1] * 32767.0)));
}
