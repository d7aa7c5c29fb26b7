// The bit-plane coder against the player's coefficient decoder: whatever the
// encoder writes, the decoder must read back unchanged.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/picture_decoder.h"
#include "kit/encoder/bit_writer.h"
#include "kit/encoder/coefficient_coder.h"
#include "lib/stream.h"

using namespace encoder;

namespace {

std::vector<int16_t> randomPlane(int width, int height, double density, int largest, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> magnitude(1, largest);
    std::vector<int16_t> plane(size_t(width) * size_t(height), 0);
    for (int16_t& value : plane)
        if (unit(random) < density) value = int16_t(unit(random) < 0.5 ? -magnitude(random) : magnitude(random));
    return plane;
}

}  // namespace

TEST(CoefficientCoder, DecoderReadsBackRandomPlanes) {
    struct Case {
        int width, height;
        double density;
        int largest;
    };
    const Case cases[] = {{64, 64, 0.5, 3},       {128, 64, 0.05, 100},  {256, 128, 0.001, 1},
                          {192, 128, 0.3, 32767}, {1024, 512, 0.02, 600}, {128, 128, 1.0, 7},
                          {64, 64, 0.0, 1}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        const std::vector<int16_t> plane = randomPlane(c.width, c.height, c.density, c.largest, seed++);
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
}

TEST(CoefficientCoder, RejectsMagnitudesBeyondFifteenBits) {
    std::vector<int16_t> plane(64 * 64, 0);
    plane[5] = -32768;
    BitWriter out;
    EXPECT_THROW(encodePlaneCoefficients(plane, 64, 64, out), std::invalid_argument);
}
