// The unpacker on hand-built streams: one token kind at a time, each length
// adjustment range and its boundaries.
#include <gtest/gtest.h>

#include <string>

#include "tests/lz/stream_builder.h"
#include "tests/lz/unpack_guarded.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Distinct-looking history so that a copy from the wrong place shows.
std::vector<uint8_t> history(size_t size) {
    std::vector<uint8_t> data(size);
    uint32_t state = 12345;
    for (auto& value : data) {
        state = state * 1103515245 + 12345;
        value = static_cast<uint8_t>(state >> 23);
    }
    return data;
}

StreamBuilder literals(const std::vector<uint8_t>& data) {
    StreamBuilder builder;
    builder.byte(data[0]);
    for (size_t i = 1; i < data.size(); i++) builder.literal(data[i]);
    return builder;
}

// The expected result of copying length bytes from offset back, byte by byte.
void appendCopy(std::vector<uint8_t>& data, size_t offset, size_t length) {
    for (size_t i = 0; i < length; i++) {
        uint8_t value = data[data.size() - offset];
        data.push_back(value);
    }
}

TEST(LzUnpack, LiteralTagAndEndMarkerGiveOneByte) {
    Unpacked unpacked = unpackGuarded({'L', 0xC0, 0x00}, 1);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, 1);
    EXPECT_EQ(unpacked.output, bytesOf("L"));
}

TEST(LzUnpack, BuilderWritesTheSameBytesForTheEndMarker) {
    EXPECT_EQ(StreamBuilder().byte('L').end().bytes, (std::vector<uint8_t>{'L', 0xC0, 0x00}));
}

TEST(LzUnpack, NearTokenWithFourZeroBitsWritesZeroByte) {
    // Tag 1110000 1: the near token with 0000, then the first bit of the end
    // marker; the next tag byte carries its 1, 0; then the offset byte 0.
    Unpacked unpacked = unpackGuarded({'a', 0xE1, 0x80, 0x00}, 2);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, (std::vector<uint8_t>{'a', 0}));
}

TEST(LzUnpack, TagBytesAreReadWhenTheirFirstBitIsNeeded) {
    // Nine literals: the ninth control bit needs a second tag byte, which
    // comes after the eighth literal byte.
    std::vector<uint8_t> packed = {'0', 0x00, '1', '2', '3', '4', '5', '6', '7', '8', 0x60, '9', 0x00};
    Unpacked unpacked = unpackGuarded(packed, 10);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, bytesOf("0123456789"));
    EXPECT_EQ(literals(bytesOf("0123456789")).end().bytes, packed);
}

TEST(LzUnpack, NearTokenCopiesOneByteFromUpToFifteenBack) {
    std::vector<uint8_t> data = bytesOf("abcdefghijklmnop");
    StreamBuilder builder = literals(data);
    builder.nearToken(15).nearToken(1).nearToken(3);
    std::vector<uint8_t> expected = data;
    appendCopy(expected, 15, 1);
    appendCopy(expected, 1, 1);
    appendCopy(expected, 3, 1);
    Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, expected);
    EXPECT_EQ(std::string(expected.end() - 3, expected.end()), "bbp");
}

TEST(LzUnpack, ShortMatchLengthsTwoAndThree) {
    std::vector<uint8_t> data = history(200);
    StreamBuilder builder = literals(data);
    builder.shortMatch(127, 2).shortMatch(1, 3).shortMatch(100, 3);
    std::vector<uint8_t> expected = data;
    appendCopy(expected, 127, 2);
    appendCopy(expected, 1, 3);
    appendCopy(expected, 100, 3);
    Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, expected);
}

struct RangeCase {
    uint32_t offset;
    uint32_t coded;
    uint32_t length;  // what the unpacker must copy
};

TEST(LzUnpack, MatchLengthAdjustmentByOffsetRange) {
    const RangeCase cases[] = {
        {1, 2, 4},       {127, 2, 4},     {127, 9, 11},   {128, 2, 2},    {200, 5, 5},
        {1279, 2, 2},    {1280, 2, 3},    {5000, 7, 8},   {31999, 2, 3},  {32000, 2, 4},
        {40000, 13, 15}, {65535, 2, 4},   {300, 1000, 1000},
    };
    std::vector<uint8_t> data = history(70000);
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.offset);
        StreamBuilder builder = literals(data);
        builder.match(c.offset, c.coded);
        std::vector<uint8_t> expected = data;
        appendCopy(expected, c.offset, c.length);
        Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
        EXPECT_EQ(unpacked.result, LzResult::Complete);
        EXPECT_EQ(unpacked.produced, static_cast<int32_t>(expected.size()));
        EXPECT_EQ(unpacked.output, expected);
    }
}

TEST(LzUnpack, OverlappingCopiesRepeatTheirOwnOutput) {
    StreamBuilder builder;
    builder.byte('x').match(1, 30).literal('a').literal('b').literal('c').match(3, 10).match(2, 40);
    std::vector<uint8_t> expected = bytesOf("x");
    appendCopy(expected, 1, 32);
    expected.push_back('a');
    expected.push_back('b');
    expected.push_back('c');
    appendCopy(expected, 3, 12);
    appendCopy(expected, 2, 42);
    Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, expected);
    EXPECT_EQ(std::string(expected.begin(), expected.begin() + 36), std::string(33, 'x') + "abc");
}

TEST(LzUnpack, RepeatUsesTheOffsetOfTheLastMatch) {
    std::vector<uint8_t> data = history(3000);
    StreamBuilder builder = literals(data);
    // A long match sets 2000, the near token keeps it, a repeat reuses it;
    // then a short match sets 50 and the next repeat follows that.
    builder.match(2000, 6).nearToken(4).repeatMatch(9).shortMatch(50, 3).literal(7).repeatMatch(2);
    std::vector<uint8_t> expected = data;
    appendCopy(expected, 2000, 7);
    appendCopy(expected, 4, 1);
    appendCopy(expected, 2000, 9);
    appendCopy(expected, 50, 3);
    expected.push_back(7);
    appendCopy(expected, 50, 2);
    Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, expected);
}

TEST(LzUnpack, RepeatLengthHasNoAdjustment) {
    std::vector<uint8_t> data = history(100);
    StreamBuilder builder = literals(data);
    builder.shortMatch(90, 2).repeatMatch(2).match(37, 2).repeatMatch(5);
    std::vector<uint8_t> expected = data;
    appendCopy(expected, 90, 2);
    appendCopy(expected, 90, 2);
    appendCopy(expected, 37, 4);
    appendCopy(expected, 37, 5);
    Unpacked unpacked = unpackGuarded(builder.end().bytes, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, expected);
}

TEST(LzUnpack, BytesAfterTheEndMarkerAreIgnored) {
    std::vector<uint8_t> packed = StreamBuilder().byte('q').literal('r').end().bytes;
    packed.push_back(0xFF);
    packed.push_back(0x12);
    Unpacked unpacked = unpackGuarded(packed, 2);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, bytesOf("qr"));
}

}  // namespace
