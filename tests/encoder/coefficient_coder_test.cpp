// The encoder's stages where the round trips do not pin them down: the line
// analysis against its exact inverse, its copies of the decoder's tables,
// quantisation, and the bit-plane coder against the player's coefficient
// decoder on planes no picture gives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/picture_decoder.h"
#include "codec/scan_order.h"
#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/bit_writer.h"
#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/coefficient_layout.h"
#include "kit/encoder/picture_encoder.h"
#include "lib/stream.h"

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

// The encoder's own copies of the decoder's tables (the decoder's are checked
// against the documented values in the codec tests), reconstruction and quantisation.
TEST(CoefficientLayout, TablesAndQuantisation) {
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

// Whatever the coder writes, the decoder reads back unchanged and without
// bits beyond the plane: densities and magnitudes up to the largest allowed.
TEST(CoefficientCoder, DecoderReadsBackRandomPlanes) {
    const struct {
        int width, height;
        double density;
        int largest;
    } cases[] = {{64, 64, 0.5, 3},       {128, 64, 0.05, 100},  {256, 128, 0.001, 1},
                 {192, 128, 0.3, 32767}, {1024, 512, 0.02, 600}, {128, 128, 1.0, 7},
                 {64, 64, 0.0, 1}};
    std::mt19937 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const auto& c : cases) {
        std::uniform_int_distribution<int> magnitude(1, c.largest);
        std::vector<int16_t> plane(size_t(c.width) * size_t(c.height), 0);
        for (int16_t& value : plane)
            if (unit(random) < c.density) value = int16_t(unit(random) < 0.5 ? -magnitude(random) : magnitude(random));
        BitWriter out;
        encodePlaneCoefficients(plane, c.width, c.height, out);
        std::vector<uint8_t> bytes = out.finish();
        MemoryStream stream(bytes.data(), int32_t(bytes.size()), 0);
        PictureDecoder decoder;
        decoder.reader.attach(&stream);
        ASSERT_TRUE(decoder.prepareCoefficientDecoding(c.width, c.height));
        std::vector<int16_t> decoded(plane.size(), 0x5555);
        ASSERT_TRUE(decoder.decodePlaneCoefficients(decoded.data()));
        EXPECT_EQ(decoded, plane) << c.width << "x" << c.height << " density " << c.density;
        EXPECT_FALSE(decoder.reader.pastEnd()) << "the decoder needed bits beyond the coded plane";
    }
    std::vector<int16_t> plane(64 * 64, 0);
    plane[5] = -32768;  // beyond fifteen bits
    BitWriter out;
    EXPECT_THROW(encodePlaneCoefficients(plane, 64, 64, out), std::invalid_argument);
}
