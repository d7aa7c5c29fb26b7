// The unpacker on damaged and hostile streams: it stops with Corrupt, never
// reads past the packed bytes and never writes outside the output block (both
// end at an inaccessible page).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "kit/lz/lz_pack.h"
#include "tests/lz/stream_builder.h"
#include "tests/lz/unpack_guarded.h"

namespace {

std::vector<uint8_t> sampleData() {
    std::vector<uint8_t> data;
    std::mt19937 random(7);
    for (int block = 0; block < 60; block++) {
        if (block % 3 == 0) {
            for (int i = 0; i < 40; i++) data.push_back(static_cast<uint8_t>(random()));
        } else {
            size_t from = random() % data.size();
            size_t length = 5 + random() % 60;
            for (size_t i = 0; i < length; i++) {
                uint8_t value = data[from + i % (data.size() - from)];
                data.push_back(value);
            }
        }
        data.push_back(0);
    }
    return data;
}

TEST(LzBounds, EmptyStreamIsAnEmptyMember) {
    Unpacked unpacked = unpackGuarded({}, 0);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, 0);
}

TEST(LzBounds, EmptyStreamCannotFillAnything) {
    Unpacked unpacked = unpackGuarded({}, 5);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 0);
}

TEST(LzBounds, NonEmptyStreamIntoEmptyBlockIsCorrupt) {
    Unpacked unpacked = unpackGuarded({'L', 0xC0, 0x00}, 0);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 0);
    EXPECT_TRUE(unpacked.frontIntact);
}

TEST(LzBounds, EveryTruncationIsCorrupt) {
    std::vector<uint8_t> data = sampleData();
    std::vector<uint8_t> packed = lzPack(data.data(), data.size());
    ASSERT_EQ(unpackGuarded(packed, data.size()).output, data);
    for (size_t size = 1; size < packed.size(); size++) {
        std::vector<uint8_t> cut(packed.begin(), packed.begin() + size);
        Unpacked unpacked = unpackGuarded(cut, data.size());
        ASSERT_EQ(unpacked.result, LzResult::Corrupt) << size;
        ASSERT_LT(unpacked.produced, static_cast<int32_t>(data.size()) + 1);
        // What was produced is the true beginning of the data.
        ASSERT_TRUE(std::equal(unpacked.output.begin(), unpacked.output.begin() + unpacked.produced, data.begin()));
    }
}

TEST(LzBounds, EveryTooSmallBlockIsCorruptAndNotOverrun) {
    std::vector<uint8_t> data = sampleData();
    std::vector<uint8_t> packed = lzPack(data.data(), data.size());
    for (size_t size = 1; size < data.size(); size++) {
        Unpacked unpacked = unpackGuarded(packed, size);
        ASSERT_EQ(unpacked.result, LzResult::Corrupt) << size;
        ASSERT_LE(unpacked.produced, static_cast<int32_t>(size));
        ASSERT_TRUE(unpacked.frontIntact);
        ASSERT_TRUE(std::equal(unpacked.output.begin(), unpacked.output.begin() + unpacked.produced, data.begin()));
    }
}

TEST(LzBounds, StreamEndingEarlyIsCorrupt) {
    std::vector<uint8_t> data = sampleData();
    std::vector<uint8_t> packed = lzPack(data.data(), data.size());
    Unpacked unpacked = unpackGuarded(packed, data.size() + 10);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, static_cast<int32_t>(data.size()));
}

TEST(LzBounds, RepeatBeforeAnyMatchIsCorrupt) {
    Unpacked unpacked = unpackGuarded(StreamBuilder().byte('a').literal('b').repeatMatch(2).end().bytes, 4);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 2);
}

TEST(LzBounds, NearTokenDoesNotSetTheLastOffset) {
    Unpacked unpacked = unpackGuarded(StreamBuilder().byte('a').nearToken(1).repeatMatch(2).end().bytes, 4);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
}

TEST(LzBounds, OffsetsBeforeTheStartAreCorrupt) {
    const std::vector<uint8_t> streams[] = {
        StreamBuilder().byte('a').literal('b').shortMatch(3, 2).end().bytes,
        StreamBuilder().byte('a').literal('b').nearToken(3).end().bytes,
        StreamBuilder().byte('a').literal('b').match(200, 2).end().bytes,
        StreamBuilder().byte('a').literal('b').match(3, 2).end().bytes,
    };
    for (const auto& stream : streams) {
        Unpacked unpacked = unpackGuarded(stream, 64);
        EXPECT_EQ(unpacked.result, LzResult::Corrupt);
        EXPECT_EQ(unpacked.produced, 2);
        EXPECT_TRUE(unpacked.frontIntact);
    }
}

TEST(LzBounds, ExactOffsetToTheStartIsFine) {
    Unpacked unpacked = unpackGuarded(StreamBuilder().byte('a').literal('b').shortMatch(2, 2).nearToken(4).end().bytes, 5);
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.output, (std::vector<uint8_t>{'a', 'b', 'a', 'b', 'a'}));
}

TEST(LzBounds, MatchOffsetZeroIsCorrupt) {
    // Gamma 3 with offset byte 0 would copy the byte being written.
    Unpacked unpacked = unpackGuarded(StreamBuilder().byte('a').literal('b').match(0, 2).end().bytes, 8);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 2);
}

TEST(LzBounds, EndlessGammaIsCorrupt) {
    StreamBuilder builder;
    builder.byte('a').bits({1, 0});
    for (int i = 0; i < 200; i++) builder.bits({1, 1});
    Unpacked unpacked = unpackGuarded(builder.bytes, 16);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 1);
}

TEST(LzBounds, HugeLengthIsCorruptWithoutWriting) {
    std::vector<uint8_t> packed = StreamBuilder().byte('a').match(1, 1u << 29).end().bytes;
    Unpacked unpacked = unpackGuarded(packed, 100);
    EXPECT_EQ(unpacked.result, LzResult::Corrupt);
    EXPECT_EQ(unpacked.produced, 1);
}

TEST(LzBounds, CopyThatWouldOverrunByOneStopsBeforeIt) {
    std::vector<uint8_t> packed = StreamBuilder().byte('a').match(1, 30).end().bytes;  // 33 bytes
    Unpacked full = unpackGuarded(packed, 33);
    EXPECT_EQ(full.result, LzResult::Complete);
    Unpacked tight = unpackGuarded(packed, 32);
    EXPECT_EQ(tight.result, LzResult::Corrupt);
    EXPECT_EQ(tight.produced, 1);
}

TEST(LzBounds, RandomStreamsStayInsideTheirBuffers) {
    std::mt19937 random(99);
    for (int round = 0; round < 3000; round++) {
        std::vector<uint8_t> packed(1 + random() % 300);
        for (auto& value : packed) value = static_cast<uint8_t>(random());
        size_t outputSize = random() % 2000;
        Unpacked unpacked = unpackGuarded(packed, outputSize);
        ASSERT_TRUE(unpacked.frontIntact);
        ASSERT_GE(unpacked.produced, 0);
        ASSERT_LE(unpacked.produced, static_cast<int32_t>(outputSize));
        if (unpacked.result == LzResult::Complete) {
            ASSERT_EQ(unpacked.produced, static_cast<int32_t>(outputSize));
        }
    }
}

TEST(LzBounds, DamagedPackerOutputStaysInsideItsBuffers) {
    std::vector<uint8_t> data = sampleData();
    std::vector<uint8_t> packed = lzPack(data.data(), data.size());
    std::mt19937 random(5);
    for (int round = 0; round < 2000; round++) {
        std::vector<uint8_t> damaged = packed;
        damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        Unpacked unpacked = unpackGuarded(damaged, data.size());
        ASSERT_TRUE(unpacked.frontIntact);
        ASSERT_LE(unpacked.produced, static_cast<int32_t>(data.size()));
    }
}

}  // namespace
