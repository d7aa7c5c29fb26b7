// The resampler on its own: unity gain, exact lengths, pitch, and how well it
// keeps out images and aliases.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/resampler.h"

namespace {

const double kTwoPi = 6.283185307179586;

struct Source {
    std::vector<float> stereo;
    size_t next = 0;
    static int32_t pull(void* context, float* out, int32_t frames) {
        Source* self = static_cast<Source*>(context);
        size_t left = (self->stereo.size() / 2) - self->next;
        // Small uneven pieces, as a decoder hands them out.
        int32_t n = int32_t(std::min<size_t>({left, size_t(frames), size_t(333)}));
        std::copy(self->stereo.begin() + 2 * self->next, self->stereo.begin() + 2 * (self->next + n), out);
        self->next += size_t(n);
        return n;
    }
};

Source tone(int rate, int frames, double hz, double amplitude) {
    Source source;
    for (int i = 0; i < frames; ++i) {
        float value = float(amplitude * std::sin(kTwoPi * hz * i / rate));
        source.stereo.push_back(value);
        source.stereo.push_back(-value);
    }
    return source;
}

std::vector<float> convert(Source& source, int rate, size_t* produced) {
    Resampler resampler;
    EXPECT_TRUE(resampler.configure(uint32_t(rate), 44100));
    std::vector<float> out;
    std::vector<float> block(2 * 4096);
    *produced = 0;
    for (;;) {
        int32_t n = resampler.produce(block.data(), 4096, &Source::pull, &source);
        out.insert(out.end(), block.begin(), block.begin() + 2 * n);
        *produced += size_t(n);
        if (n < 4096) break;
    }
    return out;
}

// Level of one frequency in the left channel (Goertzel), as an amplitude.
double level_at(const std::vector<float>& stereo, size_t first, size_t last, double hz) {
    double coefficient = 2.0 * std::cos(kTwoPi * hz / 44100.0);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = first; i < last; ++i) {
        double s0 = stereo[2 * i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / double(last - first);
}

TEST(Resampler, KeepsAConstantSignalConstant) {
    Source source;
    source.stereo.assign(2 * 32000, 0.5f);
    size_t produced = 0;
    std::vector<float> out = convert(source, 32000, &produced);
    EXPECT_EQ(produced, 44100u);
    for (size_t i = 200; i < produced - 200; ++i) ASSERT_NEAR(out[2 * i], 0.5f, 1e-5f) << i;
}

TEST(Resampler, GivesExactlyTheDurationOfTheInput) {
    for (int rate : {8000, 11025, 22050, 32000, 48000, 96000}) {
        Source source = tone(rate, rate * 3 / 2 + 7, 100.0, 0.5);
        size_t produced = 0;
        convert(source, rate, &produced);
        // ceil(frames x 44100 / rate)
        uint64_t frames = uint64_t(rate) * 3 / 2 + 7;
        EXPECT_EQ(produced, size_t((frames * 44100 + uint64_t(rate) - 1) / uint64_t(rate))) << rate;
    }
}

TEST(Resampler, UpsamplingKeepsTheToneAndRemovesItsImage) {
    Source source = tone(22050, 22050, 8000.0, 0.5);
    size_t produced = 0;
    std::vector<float> out = convert(source, 22050, &produced);
    EXPECT_NEAR(level_at(out, 4410, 39690, 8000.0), 0.5, 0.01);
    EXPECT_LT(level_at(out, 4410, 39690, 22050.0 - 8000.0), 0.5e-3); // below -60 dB
}

TEST(Resampler, DownsamplingKeepsOutWhatCannotBeRepresented) {
    Source kept = tone(48000, 48000, 10000.0, 0.5);
    size_t produced = 0;
    std::vector<float> out = convert(kept, 48000, &produced);
    EXPECT_NEAR(level_at(out, 4410, 39690, 10000.0), 0.5, 0.01);
    // 23 kHz would fold back to 21.1 kHz.
    Source folded = tone(48000, 48000, 23000.0, 0.5);
    out = convert(folded, 48000, &produced);
    EXPECT_LT(level_at(out, 4410, 39690, 44100.0 - 23000.0), 0.5e-3);
}

TEST(Resampler, RefusesRatesItCannotServe) {
    Resampler resampler;
    EXPECT_FALSE(resampler.configure(0, 44100));
    EXPECT_FALSE(resampler.configure(999, 44100));
    EXPECT_FALSE(resampler.configure(800000, 44100));
    EXPECT_FALSE(resampler.configured());
    float block[8];
    EXPECT_EQ(resampler.produce(block, 4, &Source::pull, nullptr), 0);
}

} // namespace
