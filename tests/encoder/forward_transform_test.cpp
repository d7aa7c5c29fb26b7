// The forward transform against the player's own synthesis, without
// quantisation: analysis, rounding to the decoder's 16-bit block layout, then
// the decoder's synthesizePlane must give the samples back within rounding.
// Any mismatch of a stage (line groups, mirrored ends, column pass, region
// DCT and its scaling) shows as an error of many units.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "codec/synthesis.h"
#include "kit/encoder/analysis_transform.h"

namespace {

// Random smooth samples in the luma plane's range (two fractional bits).
std::vector<double> smoothPlane(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double pi = std::acos(-1.0);
    std::vector<double> plane(static_cast<size_t>(width) * height, 0.0);
    for (int k = 0; k < 6; ++k) {
        const double fx = unit(random) * 4.0, fy = unit(random) * 4.0, phase = unit(random) * 2 * pi;
        const double amplitude = 30.0 + unit(random) * 60.0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                plane[size_t(y) * width + x] +=
                    amplitude * std::cos(2 * pi * (fx * x / width + fy * y / height) + phase);
    }
    return plane;
}

double maxSynthesisError(int width, int height, uint32_t seed) {
    const std::vector<double> samples = smoothPlane(width, height, seed);
    std::vector<double> coefficients = samples;
    encoder::analyzePlane(coefficients, width, height);
    std::vector<int16_t> plane(coefficients.size());
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = int16_t(std::lround(coefficients[i]));
    EXPECT_TRUE(synthesizePlane(plane.data(), width, height));
    double worst = 0.0;
    for (size_t i = 0; i < plane.size(); ++i) worst = std::max(worst, std::fabs(plane[i] - samples[i]));
    return worst;
}

}  // namespace

TEST(ForwardTransform, DecoderSynthesisInvertsItOnSmoothData) {
    const int sizes[][2] = {{64, 64}, {128, 64}, {256, 128}, {192, 64}, {1024, 512}};
    uint32_t seed = 100;
    for (const auto& size : sizes) {
        // Rounding the coefficients and the decoder's three roundings to
        // integers cost a few units at most; a stage mismatch costs hundreds.
        EXPECT_LE(maxSynthesisError(size[0], size[1], seed++), 3.0) << size[0] << "x" << size[1];
    }
}

TEST(ForwardTransform, SinglePixelImpulsesSurviveAnywhere) {
    // Impulses at the picture's corners and edges exercise the mirrored ends
    // of the line transforms and the region borders.
    const int width = 128, height = 64;
    const int positions[][2] = {{0, 0}, {127, 63}, {0, 63}, {127, 0}, {63, 31}, {64, 32}, {3, 60}};
    for (const auto& p : positions) {
        std::vector<double> samples(static_cast<size_t>(width) * height, 0.0);
        samples[size_t(p[1]) * width + p[0]] = 2000.0;
        std::vector<double> coefficients = samples;
        encoder::analyzePlane(coefficients, width, height);
        std::vector<int16_t> plane(coefficients.size());
        for (size_t i = 0; i < plane.size(); ++i) plane[i] = int16_t(std::lround(coefficients[i]));
        ASSERT_TRUE(synthesizePlane(plane.data(), width, height));
        double worst = 0.0;
        for (size_t i = 0; i < plane.size(); ++i) worst = std::max(worst, std::fabs(plane[i] - samples[i]));
        EXPECT_LE(worst, 3.0) << p[0] << "," << p[1];
    }
}
