// The encoder's analysis stages against the synthesis they must invert, and
// the constants of the coded layout.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/coefficient_layout.h"
#include "kit/encoder/picture_encoder.h"

using namespace encoder;

namespace {

std::vector<long> synthesizedRounded(int n, int index, double value) {
    std::vector<double> line(static_cast<size_t>(n), 0.0);
    line[size_t(index)] = value;
    synthesizeLineExact(line.data(), n);
    std::vector<long> rounded;
    for (double v : line) rounded.push_back(std::lround(v));
    return rounded;
}

}  // namespace

TEST(SynthesisModel, MatchesTheDecodersLineExamples) {
    EXPECT_EQ(synthesizedRounded(16, 0, 1000),
              (std::vector<long>{354, 354, 354, 354, 354, 354, 340, 244, 109, 13, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(synthesizedRounded(16, 1, 1000),
              (std::vector<long>{354, 354, 327, 135, -135, -327, -340, -244, -109, -13, 0, 0, 0, 0, 0, 0}));
    const std::vector<long> x10 = synthesizedRounded(32, 10, 1000);
    const std::vector<long> x11 = synthesizedRounded(32, 11, 1000);
    const std::vector<long> x14 = synthesizedRounded(32, 14, 1000);
    const long shapeLow[8] = {-16, 125, 500, 346, -346, -500, -125, 16};
    const long shapeHigh[8] = {115, 119, -450, 510, -510, 450, -119, -115};
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(x10[size_t(i)], i >= 6 && i <= 13 ? shapeLow[i - 6] : 0) << i;
        EXPECT_EQ(x11[size_t(i)], i >= 10 && i <= 17 ? shapeLow[i - 10] : 0) << i;
        EXPECT_EQ(x14[size_t(i)], i >= 6 && i <= 13 ? shapeHigh[i - 6] : 0) << i;
    }
}

TEST(AnalysisTransform, InvertsTheLineSynthesis) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-3000.0, 3000.0);
    for (int n : {8, 16, 24, 64, 512, 1024}) {
        std::vector<double> samples(static_cast<size_t>(n));
        for (double& v : samples) v = value(random);
        std::vector<double> line = samples;
        analyzeLine(line.data(), n);
        synthesizeLineExact(line.data(), n);
        for (int i = 0; i < n; ++i) EXPECT_NEAR(line[size_t(i)], samples[size_t(i)], 1e-9) << "n " << n << " i " << i;
        // And the other way round: analysis is a two-sided inverse.
        std::vector<double> coefficients = samples;
        synthesizeLineExact(coefficients.data(), n);
        analyzeLine(coefficients.data(), n);
        for (int i = 0; i < n; ++i) EXPECT_NEAR(coefficients[size_t(i)], samples[size_t(i)], 1e-9);
    }
}

TEST(AnalysisTransform, ConstantLineHasOnlyGroupSums) {
    // Synthesis turns x0 = 400 in every group into 400 C4 everywhere.
    const double c4 = double(0.3535533845424652099609375f);
    std::vector<double> line(64, 400.0 * c4);
    analyzeLine(line.data(), 64);
    for (int i = 0; i < 64; ++i) EXPECT_NEAR(line[size_t(i)], i % 8 == 0 ? 400.0 : 0.0, 1e-9) << i;
}

TEST(AnalysisTransform, SecondLevelDctInvertsTheRegionSynthesis) {
    // Block averages of 20 everywhere come from coefficient j = 0 alone, 80.
    double grid[64];
    for (double& v : grid) v = 20.0;
    for (int c = 0; c < 8; ++c) forwardDct8(grid + c, 8);
    for (int r = 0; r < 8; ++r) forwardDct8(grid + 8 * r, 1);
    EXPECT_NEAR(grid[0] * 0.5, 80.0, 1e-9);
    for (int i = 1; i < 64; ++i) EXPECT_NEAR(grid[i], 0.0, 1e-9);
    // Rows 35, 29, 20, 7, -7, -20, -29, -35 come from j = 1 at 100 (the
    // decoder rounds the averages, hence the tolerance).
    const double row[8] = {35, 29, 20, 7, -7, -20, -29, -35};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) grid[8 * r + c] = row[c];
    for (int c = 0; c < 8; ++c) forwardDct8(grid + c, 8);
    for (int r = 0; r < 8; ++r) forwardDct8(grid + 8 * r, 1);
    EXPECT_NEAR(grid[1] * 0.5, 100.0, 1.0);
    EXPECT_NEAR(grid[0], 0.0, 1e-9);
}

TEST(CoefficientLayout, StepsMatchTheDecodersTables) {
    const int luma[15] = {20, 23, 27, 32, 37, 43, 51, 60, 70, 82, 96, 112, 131, 153, 180};
    const int chroma[15] = {70, 81, 95, 112, 131, 153, 179, 210, 245, 287, 336, 393, 460, 538, 630};
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) {
            EXPECT_EQ(quantiserStep(u, v, 20), luma[u + v]) << u << "," << v;
            EXPECT_EQ(quantiserStep(u, v, 70), chroma[u + v]) << u << "," << v;
        }
}

TEST(CoefficientLayout, SubbandsFollowTheDyadicTable) {
    const int table[8][8] = {{0, 1, 4, 5, 16, 17, 18, 19},     {2, 3, 6, 7, 20, 21, 22, 23},
                             {8, 9, 12, 13, 24, 25, 26, 27},   {10, 11, 14, 15, 28, 29, 30, 31},
                             {32, 33, 34, 35, 48, 49, 50, 51}, {36, 37, 38, 39, 52, 53, 54, 55},
                             {40, 41, 42, 43, 56, 57, 58, 59}, {44, 45, 46, 47, 60, 61, 62, 63}};
    for (int q = 0; q < 8; ++q)
        for (int p = 0; p < 8; ++p) {
            const int i = table[q][p];
            EXPECT_EQ(subbandColumn(i), p) << i;
            EXPECT_EQ(subbandRow(i), q) << i;
        }
}

TEST(CoefficientLayout, ReconstructionAndQuantisation) {
    EXPECT_EQ(dequantise(1, 23), 34);
    EXPECT_EQ(dequantise(-1, 23), -34);
    EXPECT_EQ(dequantise(0, 23), 0);
    EXPECT_EQ(dequantise(-2, 20), -50);
    EXPECT_EQ(dequantise(1, 630), 945);
    // Nearest reconstruction point: 0, 1.5 t, 2.5 t, ...
    EXPECT_EQ(quantise(14.0, 20, 0.75, 0.5), 0);
    EXPECT_EQ(quantise(16.0, 20, 0.75, 0.5), 1);
    EXPECT_EQ(quantise(-39.0, 20, 0.75, 0.5), -1);
    EXPECT_EQ(quantise(41.0, 20, 0.75, 0.5), 2);
    EXPECT_EQ(quantise(41.0, 20, 0.75, 0.3), 1);
    // A wider dead zone drops more.
    EXPECT_EQ(quantise(-27.0, 20, 1.4, 0.5), 0);
    EXPECT_EQ(quantise(29.0, 20, 1.4, 0.5), 1);
    // Never beyond what the decoder's 16-bit planes hold.
    EXPECT_LE(dequantise(quantise(1e9, 20, 0.75, 0.5), 20), 32767);
    EXPECT_GE(dequantise(quantise(-1e9, 630, 0.75, 0.5), 630), -32768);
    // Dead zones run from the lowest to the highest block frequency.
    EncoderOptions options;
    options.lowDeadZone = 2.0;
    options.highDeadZone = 0.7;
    options.averageDeadZone = 0.9;
    EXPECT_DOUBLE_EQ(deadZoneOf(0, options), 0.9);
    EXPECT_DOUBLE_EQ(deadZoneOf(1, options), 2.0);
    EXPECT_DOUBLE_EQ(deadZoneOf(8, options), 2.0);
    EXPECT_DOUBLE_EQ(deadZoneOf(63, options), 0.7);
}

TEST(CoefficientCoder, ScanOrderStartsAsDocumented) {
    const int expected[24][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 2}, {2, 0}, {1, 2}, {3, 0},
                                 {0, 3}, {2, 1}, {1, 3}, {3, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3},
                                 {0, 4}, {4, 0}, {1, 4}, {5, 0}, {2, 4}, {6, 0}, {3, 4}, {7, 0}};
    for (int s = 0; s < 24; ++s) {
        EXPECT_EQ(cellOfScanPosition(s).row, expected[s][0]) << s;
        EXPECT_EQ(cellOfScanPosition(s).column, expected[s][1]) << s;
    }
    EXPECT_EQ(cellOfScanPosition(64).row, 0);
    EXPECT_EQ(cellOfScanPosition(64).column, 8);
    EXPECT_EQ(cellOfScanPosition(65).row, 8);
    EXPECT_EQ(cellOfScanPosition(65).column, 0);
    std::vector<int> seen(4096, 0);
    for (int s = 0; s < 4096; ++s) ++seen[size_t(cellOfScanPosition(s).row * 64 + cellOfScanPosition(s).column)];
    for (int count : seen) EXPECT_EQ(count, 1);
}

TEST(CoefficientLayout, QuantisedPlaneLandsInItsSubbands) {
    // Block layout of a 64 x 64 plane: one region, 8 x 8 blocks.
    std::vector<double> blocks(64 * 64, 0.0);
    blocks[7 * 64 + 7] = 1.2 * 180;        // block (0, 0), coefficient (7, 7): level 1
    blocks[8 * 64 + 8 + 1] = 3.0 * 23;     // block (1, 1), coefficient (1, 0): level 3
    blocks[0 * 64 + 8] = -5.0 * 20;        // average of block (1, 0): second-level j = 1
    EncoderOptions keep;
    keep.sparseBlockLimit = 0;
    std::vector<int16_t> coded = quantisePlane(blocks, 64, 64, 20, keep);
    // i = 63 lives in subband (7, 7), at the block's row and column there.
    EXPECT_EQ(coded[size_t(56 * 64 + 56)], 1);
    // i = 1 lives in subband (1, 0): row 1, column 8 + 1.
    EXPECT_EQ(coded[size_t(1 * 64 + 9)], 3);
    // j = 1 lives in area (1, 0) of subband (0, 0), one position wide here.
    EXPECT_EQ(coded[1], -5);
    int nonzero = 0;
    for (int16_t value : coded) nonzero += value != 0;
    EXPECT_EQ(nonzero, 3);
    // By default the lone +-1 of a sparse block is dropped; larger levels stay.
    coded = quantisePlane(blocks, 64, 64, 20, EncoderOptions());
    EXPECT_EQ(coded[size_t(56 * 64 + 56)], 0);
    EXPECT_EQ(coded[size_t(1 * 64 + 9)], 3);
    EXPECT_EQ(coded[1], -5);
}
