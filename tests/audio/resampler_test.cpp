// The resampler on its own: unity gain, exact lengths, images and aliases kept out.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/resampler.h"

namespace {

const double kTwoPi = 6.283185307179586;

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

// Level of one frequency in the left channel over 0.1 .. 0.9 s (Goertzel), as an amplitude.
double level_at(const std::vector<float>& stereo, double hz) {
    const double coefficient = 2.0 * std::cos(kTwoPi * hz / 44100.0);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = 4410; i < 39690; ++i) {
        double s0 = stereo[2 * i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - coefficient * s1 * s2, 0.0)) / (39690 - 4410);
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
