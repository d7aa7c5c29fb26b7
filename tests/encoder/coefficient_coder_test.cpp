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

std::vector<uint8_t> encodePlane(const std::vector<int16_t>& plane, int width, int height) {
    BitWriter out;
    encodePlaneCoefficients(plane, width, height, out);
    return out.finish();
}

// Decodes consecutive coded planes from the bytes with the player's decoder.
std::vector<std::vector<int16_t>> decodePlanes(std::vector<uint8_t> bytes, int width, int height, int count,
                                               bool* pastEnd = nullptr) {
    MemoryStream stream(bytes.data(), int32_t(bytes.size()), 0);
    PictureDecoder decoder;
    decoder.reader.attach(&stream);
    EXPECT_TRUE(decoder.prepareCoefficientDecoding(width, height));
    std::vector<std::vector<int16_t>> planes;
    for (int i = 0; i < count; ++i) {
        std::vector<int16_t> plane(size_t(width) * size_t(height), 0x5555);
        EXPECT_TRUE(decoder.decodePlaneCoefficients(plane.data()));
        planes.push_back(plane);
    }
    if (pastEnd) *pastEnd = decoder.reader.pastEnd();
    return planes;
}

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

TEST(CoefficientCoder, EmptyPlaneCostsFourBitsPerGroup) {
    const std::vector<uint8_t> bytes = encodePlane(std::vector<int16_t>(1024 * 512, 0), 1024, 512);
    EXPECT_EQ(bytes.size(), 128u);  // 256 groups x 4 bits
    for (uint8_t byte : bytes) EXPECT_EQ(byte, 0);
}

TEST(CoefficientCoder, FirstCoefficientOfAGroupUsesTheShortestRunCode) {
    // +1 at the first coefficient visited (cell (0, 0), top left): plane count
    // 0001, then the run code 1 00 (k = 1: run 0, sign +).
    std::vector<int16_t> plane(64 * 64, 0);
    plane[0] = 1;
    std::vector<uint8_t> bytes = encodePlane(plane, 64, 64);
    ASSERT_GE(bytes.size(), 1u);
    EXPECT_EQ(bytes[0] >> 1, 0x0C);  // 0001 100
    plane[0] = -1;                   // 0001 101
    bytes = encodePlane(plane, 64, 64);
    EXPECT_EQ(bytes[0] >> 1, 0x0D);
}

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
        bool pastEnd = true;
        const auto decoded = decodePlanes(encodePlane(plane, c.width, c.height), c.width, c.height, 1, &pastEnd);
        EXPECT_EQ(decoded[0], plane) << c.width << "x" << c.height << " density " << c.density;
        EXPECT_FALSE(pastEnd) << "the decoder needed bits beyond the coded plane";
    }
}

TEST(CoefficientCoder, PlanesFollowEachOtherWithoutAlignment) {
    const std::vector<int16_t> first = randomPlane(128, 64, 0.1, 5, 11);
    const std::vector<int16_t> second = randomPlane(128, 64, 0.2, 50, 12);
    BitWriter out;
    out.writeBits(5, 3);  // start off a byte boundary
    encodePlaneCoefficients(first, 128, 64, out);
    encodePlaneCoefficients(second, 128, 64, out);
    std::vector<uint8_t> bytes = out.finish();
    MemoryStream stream(bytes.data(), int32_t(bytes.size()), 0);
    PictureDecoder decoder;
    decoder.reader.attach(&stream);
    ASSERT_TRUE(decoder.prepareCoefficientDecoding(128, 64));
    EXPECT_EQ(decoder.reader.readBits(3), 5u);
    std::vector<int16_t> plane(128 * 64);
    ASSERT_TRUE(decoder.decodePlaneCoefficients(plane.data()));
    EXPECT_EQ(plane, first);
    ASSERT_TRUE(decoder.decodePlaneCoefficients(plane.data()));
    EXPECT_EQ(plane, second);
}

TEST(CoefficientCoder, RejectsMagnitudesBeyondFifteenBits) {
    std::vector<int16_t> plane(64 * 64, 0);
    plane[5] = -32768;
    BitWriter out;
    EXPECT_THROW(encodePlaneCoefficients(plane, 64, 64, out), std::invalid_argument);
}

TEST(BitWriter, WritesMostSignificantBitFirst) {
    BitWriter out;
    out.writeBits(1024, 15);
    out.writeBits(512, 15);
    EXPECT_EQ(out.bitCount(), 30u);
    const std::vector<uint8_t> bytes = out.finish();
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x08, 0x00, 0x08, 0x00}));
}
