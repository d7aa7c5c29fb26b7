// The encoder's analysis stages against the synthesis they must invert, and
// the constants of the coded layout.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/scan_order.h"
#include "codec/synthesis.h"
#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/coefficient_layout.h"
#include "kit/encoder/colour_planes.h"
#include "kit/encoder/picture_encoder.h"
#include "test_pictures.h"

using namespace encoder;

TEST(AnalysisTransform, InvertsTheLineSynthesisBothWays) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-3000.0, 3000.0);
    for (int n : {8, 16, 24, 64, 512, 1024}) {
        std::vector<double> samples(static_cast<size_t>(n));
        for (double& v : samples) v = value(random);
        std::vector<double> line = samples, coefficients = samples;
        analyzeLine(line.data(), n);
        synthesizeLineExact(line.data(), n);
        synthesizeLineExact(coefficients.data(), n);
        analyzeLine(coefficients.data(), n);
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(line[size_t(i)], samples[size_t(i)], 1e-9) << "n " << n << " i " << i;
            EXPECT_NEAR(coefficients[size_t(i)], samples[size_t(i)], 1e-9) << "n " << n << " i " << i;
        }
    }
}

// Analysis, rounding to the decoder's 16-bit block layout, then the decoder's
// own synthesizePlane gives the samples back within rounding (a few units);
// a mismatch of any stage (line groups, mirrored ends, column pass, region
// DCT and its scaling) costs hundreds. Smooth planes, and impulses at the
// corners and edges for the mirrored ends and region borders.
TEST(AnalysisTransform, DecoderSynthesisInvertsThePlaneAnalysis) {
    struct Plane {
        std::string name;
        int w, h;
        std::vector<double> samples;
    };
    std::vector<Plane> planes;
    const int sizes[][2] = {{64, 64}, {128, 64}, {256, 128}, {192, 64}, {1024, 512}};
    uint32_t seed = 100;
    for (const auto& size : sizes)
        planes.push_back({std::to_string(size[0]) + "x" + std::to_string(size[1]) + " smooth", size[0], size[1],
                          toColourPlanes(smoothPicture(size[0], size[1], seed++)).luma});
    const int impulses[][2] = {{0, 0}, {127, 63}, {0, 63}, {127, 0}, {63, 31}, {64, 32}, {3, 60}};
    for (const auto& p : impulses) {
        std::vector<double> plane(size_t(128) * 64, 0.0);
        plane[size_t(p[1]) * 128 + p[0]] = 2000.0;
        planes.push_back({"impulse at " + std::to_string(p[0]) + "," + std::to_string(p[1]), 128, 64, plane});
    }
    for (const Plane& p : planes) {
        const std::vector<double>& samples = p.samples;
        const int w = p.w, h = p.h;
        SCOPED_TRACE(p.name);
        std::vector<double> coefficients = samples;
        analyzePlane(coefficients, w, h);
        std::vector<int16_t> plane(coefficients.size());
        for (size_t k = 0; k < plane.size(); ++k) plane[k] = int16_t(std::lround(coefficients[k]));
        ASSERT_TRUE(synthesizePlane(plane.data(), w, h));
        double worst = 0.0;
        for (size_t k = 0; k < plane.size(); ++k) worst = std::max(worst, std::fabs(plane[k] - samples[k]));
        EXPECT_LE(worst, 3.0);
    }
}

// The encoder's own copies of the decoder's tables; the decoder's are checked
// against the documented values in the codec tests.
TEST(CoefficientLayout, TablesAndScanOrderAreTheDecoders) {
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(encoder::quantiserStep(i % 8, i / 8, 20), ::quantiserStep(i % 8, i / 8, 20)) << i;
        EXPECT_EQ(encoder::quantiserStep(i % 8, i / 8, 70), ::quantiserStep(i % 8, i / 8, 70)) << i;
        EXPECT_EQ(subbandColumn(i), subbandOfIndex(i).column) << i;
        EXPECT_EQ(subbandRow(i), subbandOfIndex(i).row) << i;
    }
    for (int s = 0; s < 4096; ++s) {
        ASSERT_EQ(encoder::cellOfScanPosition(s).row, ::cellOfScanPosition(s).row) << s;
        ASSERT_EQ(encoder::cellOfScanPosition(s).column, ::cellOfScanPosition(s).column) << s;
    }
}

TEST(CoefficientLayout, ReconstructionAndQuantisation) {
    for (int x = -3; x <= 3; ++x)
        for (int step : {20, 23, 630}) EXPECT_EQ(dequantise(x, step), reconstructCoefficient(x, step)) << x;
    // Nearest reconstruction point: 0, 1.5 t, 2.5 t, ...; a wider dead zone drops more.
    const struct {
        double value, deadZone, bias;
        int level;
    } cases[] = {{14.0, 0.75, 0.5, 0}, {16.0, 0.75, 0.5, 1}, {-39.0, 0.75, 0.5, -1}, {41.0, 0.75, 0.5, 2},
                 {41.0, 0.75, 0.3, 1}, {-27.0, 1.4, 0.5, 0},  {29.0, 1.4, 0.5, 1}};
    for (const auto& c : cases) EXPECT_EQ(quantise(c.value, 20, c.deadZone, c.bias), c.level) << c.value;
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

TEST(CoefficientLayout, QuantisedPlaneLandsInItsSubbands) {
    // Block layout of a 64 x 64 plane: one region, 8 x 8 blocks.
    std::vector<double> blocks(64 * 64, 0.0);
    blocks[7 * 64 + 7] = 1.2 * 180;     // block (0, 0), coefficient (7, 7): level 1
    blocks[8 * 64 + 8 + 1] = 3.0 * 23;  // block (1, 1), coefficient (1, 0): level 3
    blocks[0 * 64 + 8] = -5.0 * 20;     // average of block (1, 0): second-level j = 1
    EncoderOptions keep;
    keep.sparseBlockLimit = 0;
    std::vector<int16_t> coded = quantisePlane(blocks, 64, 64, 20, keep);
    // i = 63 in subband (7, 7); i = 1 in subband (1, 0); j = 1 in area (1, 0) of subband (0, 0).
    std::vector<int16_t> expected(64 * 64, 0);
    expected[56 * 64 + 56] = 1;
    expected[1 * 64 + 9] = 3;
    expected[1] = -5;
    EXPECT_EQ(coded, expected);
    // By default the lone +-1 of a sparse block is dropped; larger levels stay.
    expected[56 * 64 + 56] = 0;
    EXPECT_EQ(quantisePlane(blocks, 64, 64, 20, EncoderOptions()), expected);
}
