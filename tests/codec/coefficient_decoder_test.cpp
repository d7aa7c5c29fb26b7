#include <gtest/gtest.h>

#include <vector>

#include "codec/picture_decoder.h"
#include "lib/stream.h"
#include "test_streams.h"

namespace {

std::string zeros(int count) { return std::string(size_t(count), '0'); }

struct Placed {
    int row, column, value;
};

}  // namespace

// The first group of a plane decoded from hand-made bits: where the values
// land and how many bits the group took (-1: not checked).
TEST(CoefficientDecoder, FirstGroupFromHandMadeBits) {
    struct Case {
        const char* name;
        std::string bits;
        int width, height;
        int64_t consumed;
        std::vector<Placed> placed;
    };
    const Case cases[] = {
        {"empty group costs four bits", "0000", 1024, 512, 4, {}},
        {"one plane, nothing placed", "0001" + zeros(11), 1024, 512, 15, {}},
        // k = 1: 1 00 is run 0, +d; 1 01 run 0, -d; 1 10 run 1, +d.
        {"plus", "0001 100" + zeros(11), 1024, 512, -1, {{0, 0, 1}}},
        {"minus", "0001 101" + zeros(11), 1024, 512, -1, {{0, 0, -1}}},
        {"skip one", "0001 110" + zeros(11), 1024, 512, -1, {{0, 1, 1}}},
        // After a placement k is 0; a 0 bit keeps one coefficient at zero and raises k to 1.
        {"zero bit after k = 0", "0001 100 0 100" + zeros(11), 1024, 512, -1, {{0, 0, 1}, {0, 2, 1}}},
        // A 1024 x 512 cell is 16 x 8. Six 0 codes (k = 1 .. 6) cover 126
        // coefficients; with k = 7 run 2 places on index 128, the first of the
        // second cell (plane column 16), run 1 on index 127, the first cell's last.
        {"second cell", "0001 000000 1 00000100" + zeros(12), 1024, 512, -1, {{0, 16, 1}}},
        {"end of first cell", "0001 000000 1 00000010" + zeros(12), 1024, 512, -1, {{7, 15, 1}}},
        // New coefficients take no refinement bit.
        {"no refinement of new values", "0001 100" + zeros(12), 1024, 512, 4 + 3 + 12, {{0, 0, 1}}},
        // d = 2: -2, then twelve 0 codes; d = 1: eleven 0 codes and the refinement bit 1.
        {"refined negative", "0010 101" + zeros(12) + zeros(11) + "1", 1024, 512, 4 + 3 + 12 + 11 + 1, {{0, 0, -3}}},
        // 64 x 64: cells of one coefficient; scan positions 1 and 2 are (0,1) and (1,0).
        {"smallest plane", "0001 110 100" + zeros(8), 64, 64, -1, {{0, 1, 1}, {1, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestBitWriter writer;
        writer.putString(c.bits);
        for (int i = 0; i < 64; ++i) writer.put(0, 24);
        MemoryStream stream(writer.bytes.data(), int32_t(writer.bytes.size()), 0);
        PictureDecoder decoder;
        std::vector<int16_t> plane(size_t(c.width) * c.height, 0);
        ASSERT_TRUE(decoder.prepareCoefficientDecoding(c.width, c.height));
        decoder.reader.attach(&stream);
        EXPECT_TRUE(decoder.decodeGroup(plane.data(), 0, 16));
        if (c.consumed >= 0) {
            EXPECT_EQ(decoder.reader.bitsConsumed(), c.consumed);
        }
        for (const Placed& p : c.placed) EXPECT_EQ(plane[size_t(p.row) * c.width + p.column], p.value);
        int nonzero = 0;
        for (int16_t v : plane) nonzero += v != 0;
        EXPECT_EQ(nonzero, int(c.placed.size()));
    }
}

TEST(CoefficientDecoder, RiceParameterAbove23IsCorrupt) {
    TestBitWriter writer;
    writer.put(0xFFFFFF, 24);
    writer.put(0xFFFFFF, 24);
    MemoryStream stream(writer.bytes.data(), int32_t(writer.bytes.size()), 0);
    PictureDecoder decoder;
    decoder.reader.attach(&stream);
    decoder.riceParameter = 23;
    EXPECT_TRUE(decoder.decodeRun(4));
    EXPECT_EQ(decoder.zeroRun, (1 << 23) - 1);
    EXPECT_EQ(decoder.pendingValue, -4);
    decoder.riceParameter = 24;
    EXPECT_FALSE(decoder.decodeRun(4));
}
