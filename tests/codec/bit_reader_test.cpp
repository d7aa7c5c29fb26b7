#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/bit_reader.h"
#include "lib/stream.h"
#include "test_streams.h"

// The end is passed at the first missing bit; what follows reads as zero.
TEST(BitReader, TheEnd) {
    uint8_t bytes[] = {0xA5, 0x5A, 0xC3};
    MemoryStream second(bytes, 3, 0);
    BitReader reader;
    reader.attach(&second);
    EXPECT_EQ(reader.readBits(23), 0xA55AC3u >> 1);
    EXPECT_EQ(reader.readBit(), 1u);
    EXPECT_FALSE(reader.pastEnd());
    EXPECT_EQ(reader.readBit(), 0u);
    EXPECT_TRUE(reader.pastEnd());
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(reader.readBits(24), 0u);
    EXPECT_EQ(reader.bytesDelivered(), 3);

    reader.attach(nullptr);
    EXPECT_EQ(reader.readBits(24), 0u);
    EXPECT_TRUE(reader.pastEnd());
}

// Reads of 1 .. 24 bits across many buffer refills, with whole and short stream reads.
TEST(BitReader, RandomWidthsAcrossRefills) {
    for (int most : {1 << 30, 7, 1}) {
        SCOPED_TRACE("at most " + std::to_string(most) + " bytes a read");
        std::mt19937 random(uint32_t(5 + most));
        std::vector<uint8_t> bytes(20000);
        for (auto& b : bytes) b = uint8_t(random());
        TrickleStream stream(bytes.data(), int32_t(bytes.size()), most);
        BitReader reader;
        reader.attach(&stream);
        size_t bit = 0;
        std::uniform_int_distribution<int> width(1, 24);
        while (bit + 24 <= bytes.size() * 8) {
            int n = width(random);
            uint32_t expected = 0;
            for (int i = 0; i < n; ++i, ++bit) expected = expected * 2 + ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
            ASSERT_EQ(reader.readBits(n), expected) << "at bit " << bit << " reading " << n;
        }
        EXPECT_EQ(reader.bitsConsumed(), int64_t(bit));
        EXPECT_FALSE(reader.pastEnd());
    }
}
