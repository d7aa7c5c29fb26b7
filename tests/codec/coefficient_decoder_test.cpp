#include <gtest/gtest.h>

#include <vector>

#include "codec/picture_decoder.h"
#include "lib/stream.h"
#include "test_streams.h"

namespace {

// Decodes the first group of a 1024 x 512 plane from the given bits.
struct GroupRun {
    explicit GroupRun(const std::string& bits, int width = 1024, int height = 512)
        : plane(size_t(width) * height, 0) {
        writer.putString(bits);
        for (int i = 0; i < 64; ++i) writer.put(0, 24);  // what follows: all zero
        stream.attach(writer.bytes.data(), int32_t(writer.bytes.size()), 0);
        EXPECT_TRUE(decoder.prepareCoefficientDecoding(width, height));
        decoder.reader.attach(&stream);
        ok = decoder.decodeGroup(plane.data(), 0, 16);
        consumed = decoder.reader.bitsConsumed();
    }
    int16_t at(int row, int column) const { return plane[size_t(row) * 1024 + column]; }
    int nonzero() const {
        int count = 0;
        for (int16_t v : plane) count += v != 0;
        return count;
    }

    TestBitWriter writer;
    MemoryStream stream;
    PictureDecoder decoder;
    std::vector<int16_t> plane;
    bool ok = false;
    int64_t consumed = 0;
};

std::string zeros(int count) { return std::string(size_t(count), '0'); }

}  // namespace

TEST(CoefficientDecoder, EmptyGroupCostsFourBits) {
    GroupRun run("0000");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.consumed, 4);
    EXPECT_EQ(run.nonzero(), 0);
}

TEST(CoefficientDecoder, OnePlaneNothingPlacedCostsFifteenBits) {
    GroupRun run("0001" + zeros(11));
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.consumed, 15);
    EXPECT_EQ(run.nonzero(), 0);
}

TEST(CoefficientDecoder, RunCodesWithK1) {
    // 1 00: +d on the first zero coefficient; then codes of zeros to the end.
    GroupRun plus("0001 100" + zeros(11));
    EXPECT_EQ(plus.at(0, 0), 1);
    EXPECT_EQ(plus.nonzero(), 1);
    GroupRun minus("0001 101" + zeros(11));
    EXPECT_EQ(minus.at(0, 0), -1);
    EXPECT_EQ(minus.nonzero(), 1);
    GroupRun skip("0001 110" + zeros(11));
    EXPECT_EQ(skip.at(0, 0), 0);
    EXPECT_EQ(skip.at(0, 1), 1);
    EXPECT_EQ(skip.nonzero(), 1);
}

TEST(CoefficientDecoder, ZeroBitAfterKZeroSkipsExactlyOne) {
    // After the placement k is 0; a 0 bit keeps one coefficient at zero and
    // raises k to 1, so 1 00 then places on the third coefficient.
    GroupRun run("0001 100 0 100" + zeros(11));
    EXPECT_EQ(run.at(0, 0), 1);
    EXPECT_EQ(run.at(0, 1), 0);
    EXPECT_EQ(run.at(0, 2), 1);
    EXPECT_EQ(run.nonzero(), 2);
}

TEST(CoefficientDecoder, PlacementsFollowTheCellsInScanOrder) {
    // A 1024 x 512 cell is 16 x 8. Six 0 codes (k = 1 .. 6) cover the first
    // 126 coefficients; with k = 7 the code 1 + eight bits (run 2, +) skips two
    // more and places on index 128: the first coefficient of the second cell,
    // grid cell (0, 1), plane column 16.
    GroupRun next("0001 000000 1 00000100" + zeros(12));
    EXPECT_EQ(next.at(0, 16), 1);
    EXPECT_EQ(next.nonzero(), 1);
    // Run 1 places on index 127, the last coefficient of the first cell.
    GroupRun last("0001 000000 1 00000010" + zeros(12));
    EXPECT_EQ(last.at(7, 15), 1);
    EXPECT_EQ(last.nonzero(), 1);
}

TEST(CoefficientDecoder, RefinementOfANegativeCoefficient) {
    // Two planes. d = 2: -2 on the first coefficient, then twelve 0 codes
    // (k = 0 .. 10 cover the other 2047, the twelfth follows the last
    // placement). d = 1: eleven 0 codes, then the refinement bit 1.
    GroupRun run("0010 101" + zeros(12) + zeros(11) + "1");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.at(0, 0), -3);
    EXPECT_EQ(run.nonzero(), 1);
    EXPECT_EQ(run.consumed, 4 + 3 + 12 + 11 + 1);
}

TEST(CoefficientDecoder, RefinementReadsNothingForNewCoefficients) {
    // One plane with a placement on the first coefficient, then twelve 0
    // codes; the new coefficient takes no refinement bit.
    GroupRun run("0001 100" + zeros(12));
    EXPECT_EQ(run.consumed, 4 + 3 + 12);
}

TEST(CoefficientDecoder, SmallestPlaneGroup) {
    // 64 x 64: a group is 16 cells of one coefficient each.
    GroupRun run("0001 110 100" + zeros(8), 64, 64);
    EXPECT_TRUE(run.ok);
    // Scan positions 0, 1, 2 are the cells (0,0), (0,1), (1,0). 1 10: skip one,
    // +1 on (0,1); k is now 0, so 1 0 is run 0, +1 on (1,0).
    EXPECT_EQ(run.plane[0], 0);
    EXPECT_EQ(run.plane[1], 1);
    EXPECT_EQ(run.plane[64], 1);
    EXPECT_EQ(run.nonzero(), 2);
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
