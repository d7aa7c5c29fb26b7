// The unpacker on damaged and hostile streams: it stops with Corrupt, never
// reads past the packed bytes and never writes outside the output block (both
// end at an inaccessible page).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <random>

#include "kit/lz/lz_pack.h"
#include "tests/lz/stream_builder.h"
#include "tests/lz/unpack_guarded.h"

namespace {

// Packed text-like data: runs of noise and copies of earlier stretches.
const std::vector<uint8_t>& sampleData() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> data;
        std::mt19937 random(7);
        for (int block = 0; block < 60; block++) {
            if (block % 3 == 0) {
                for (int i = 0; i < 40; i++) data.push_back(static_cast<uint8_t>(random()));
            } else {
                size_t from = random() % data.size(), length = 5 + random() % 60;
                for (size_t i = 0; i < length; i++) data.push_back(data[from + i % (data.size() - from)]);
            }
            data.push_back(0);
        }
        return data;
    }();
    return data;
}

const std::vector<uint8_t>& samplePacked() {
    static const std::vector<uint8_t> packed = lzPack(sampleData().data(), sampleData().size());
    return packed;
}

// What was produced is the true beginning of the data, and no more than the block.
void expectAPrefixOfTheData(const Unpacked& unpacked, size_t room) {
    ASSERT_TRUE(unpacked.frontIntact);
    ASSERT_GE(unpacked.produced, 0);
    ASSERT_LE(unpacked.produced, static_cast<int32_t>(room));
    ASSERT_TRUE(std::equal(unpacked.output.begin(), unpacked.output.begin() + unpacked.produced, sampleData().begin()));
}

TEST(LzBounds, EveryTruncationAndEveryTooSmallBlockIsCorrupt) {
    const std::vector<uint8_t>& data = sampleData();
    ASSERT_EQ(unpackGuarded(samplePacked(), data.size()).output, data);
    for (size_t size = 1; size < samplePacked().size(); size++) {
        Unpacked unpacked = unpackGuarded({samplePacked().begin(), samplePacked().begin() + size}, data.size());
        ASSERT_EQ(unpacked.result, LzResult::Corrupt) << size;
        expectAPrefixOfTheData(unpacked, data.size());
    }
    for (size_t size = 1; size < data.size(); size++) {
        Unpacked unpacked = unpackGuarded(samplePacked(), size);
        ASSERT_EQ(unpacked.result, LzResult::Corrupt) << size;
        expectAPrefixOfTheData(unpacked, size);
    }
}

// Hostile tokens, each both at the start (decoded with per-byte checks) and
// amid 100 literals on either side (decoded by the fast loop, far from both
// ends): the unpacker stops with Corrupt right before the token.
TEST(LzBounds, HostileTokensAreCorruptWithoutWriting) {
    struct Case {
        const char* name;
        std::function<void(StreamBuilder&, uint32_t before)> token;
        size_t room;  // the output block's size
        size_t written = 0;  // bytes the token writes before the fault shows
    };
    auto endlessGamma = [](StreamBuilder& b, uint32_t) {
        b.bits({1, 0});
        for (int i = 0; i < 200; i++) b.bits({1, 1});
    };
    const Case cases[] = {
        {"short match before the start", [](StreamBuilder& b, uint32_t before) { b.shortMatch(before + 1, 2); }, 64},
        {"near token before the start", [](StreamBuilder& b, uint32_t) { b.nearToken(3); }, 64},
        {"far match before the start", [](StreamBuilder& b, uint32_t before) { b.match(before + 198, 2); }, 64},
        {"match before the start", [](StreamBuilder& b, uint32_t before) { b.match(before + 1, 2); }, 64},
        // Offset zero would copy the byte being written.
        {"match offset zero", [](StreamBuilder& b, uint32_t) { b.match(0, 2); }, 8},
        {"repeat before any match", [](StreamBuilder& b, uint32_t) { b.repeatMatch(2); }, 4},
        {"near token sets no offset", [](StreamBuilder& b, uint32_t) { b.nearToken(1).repeatMatch(2); }, 4, 1},
        {"endless gamma", endlessGamma, 16},
        {"huge length", [](StreamBuilder& b, uint32_t) { b.match(1, 1u << 29); }, 100},
        {"copy past the block", [](StreamBuilder& b, uint32_t) { b.match(1, 30); }, 0},
    };
    for (const Case& c : cases) {
        for (bool amid : {false, true}) {
            if (amid && std::string(c.name) == "near token before the start") continue;  // 15 back at most
            SCOPED_TRACE(testing::Message() << c.name << (amid ? " amid literals" : " at the start"));
            StreamBuilder builder;
            builder.byte('a').literal('b');
            size_t before = 2;
            if (amid) {
                for (int i = 0; i < 100; i++) builder.literal(static_cast<uint8_t>(i));
                before += 100;
            }
            c.token(builder, static_cast<uint32_t>(before));
            if (amid) {
                for (int i = 0; i < 100; i++) builder.literal(static_cast<uint8_t>(i));
            }
            builder.end();
            size_t room = amid ? std::max<size_t>(c.room, 400) : c.room;
            if (c.room == 0) room = before + 31;  // one byte short of the copy's end
            Unpacked unpacked = unpackGuarded(builder.bytes, room);
            EXPECT_EQ(unpacked.result, LzResult::Corrupt);
            EXPECT_EQ(unpacked.produced, static_cast<int32_t>(before + c.written));
            EXPECT_TRUE(unpacked.frontIntact);
        }
    }
}

// The fast loop too stops at a near token from before the start, whether its
// bits sit in the tag register or run into the next tag byte.
TEST(LzBounds, NearTokenBeforeTheStartInTheFastLoop) {
    for (int before = 2; before < 10; before++) {
        SCOPED_TRACE(before);
        StreamBuilder builder;
        builder.byte('a');
        for (int i = 1; i < before; i++) builder.literal(static_cast<uint8_t>(i));
        builder.nearToken(before + 1);
        for (int i = 0; i < 100; i++) builder.literal(static_cast<uint8_t>(i));
        Unpacked unpacked = unpackGuarded(builder.end().bytes, 400);
        EXPECT_EQ(unpacked.result, LzResult::Corrupt);
        EXPECT_EQ(unpacked.produced, before);
        EXPECT_TRUE(unpacked.frontIntact);
    }
}

// The edge cases that are fine: an offset right to the start (below 128 the
// length gains 2), a copy that just fits, an empty stream for an empty block.
TEST(LzBounds, TokensRightAtTheLimitsAreFine) {
    Unpacked exact = unpackGuarded(StreamBuilder().byte('a').literal('b').shortMatch(2, 2).nearToken(4).end().bytes, 5);
    EXPECT_EQ(exact.result, LzResult::Complete);
    EXPECT_EQ(exact.output, (std::vector<uint8_t>{'a', 'b', 'a', 'b', 'a'}));
    StreamBuilder amid;
    amid.byte('a');
    for (int i = 0; i < 100; i++) amid.literal(static_cast<uint8_t>(i));
    amid.match(101, 2);
    for (int i = 0; i < 100; i++) amid.literal(static_cast<uint8_t>(i));
    Unpacked far = unpackGuarded(amid.end().bytes, 205);
    EXPECT_EQ(far.result, LzResult::Complete);
    EXPECT_EQ(far.output[101], 'a');
    EXPECT_EQ(unpackGuarded(StreamBuilder().byte('a').match(1, 30).end().bytes, 33).result, LzResult::Complete);
    Unpacked empty = unpackGuarded({}, 0);
    EXPECT_EQ(empty.result, LzResult::Complete);
    EXPECT_EQ(empty.produced, 0);
}

// Streams that end before the block is full, or go on after it is.
TEST(LzBounds, StreamAndBlockSizesMustAgree) {
    EXPECT_EQ(unpackGuarded({}, 5).result, LzResult::Corrupt);
    Unpacked intoNothing = unpackGuarded({'L', 0xC0, 0x00}, 0);
    EXPECT_EQ(intoNothing.result, LzResult::Corrupt);
    EXPECT_EQ(intoNothing.produced, 0);
    EXPECT_TRUE(intoNothing.frontIntact);
    for (size_t literals : {1, 200}) {
        SCOPED_TRACE(literals);
        StreamBuilder builder;
        builder.byte('a');
        for (size_t i = 0; i < literals; i++) builder.literal(static_cast<uint8_t>(i));
        builder.end();
        for (int i = 0; i < 100; i++) builder.byte(0xFF);  // bytes after the marker are never read
        Unpacked early = unpackGuarded(builder.bytes, literals + 100);
        EXPECT_EQ(early.result, LzResult::Corrupt);
        EXPECT_EQ(early.produced, static_cast<int32_t>(literals + 1));
        EXPECT_EQ(unpackGuarded(builder.bytes, literals + 1).result, LzResult::Complete);
    }
}

// Arbitrary streams are the LZ fuzz corpus's; damaged real ones go deeper.
TEST(LzBounds, DamagedPackerOutputStaysInsideItsBuffers) {
    std::mt19937 random(5);
    for (int round = 0; round < 2000; round++) {
        std::vector<uint8_t> damaged = samplePacked();
        damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        Unpacked unpacked = unpackGuarded(damaged, sampleData().size());
        ASSERT_TRUE(unpacked.frontIntact);
        ASSERT_LE(unpacked.produced, static_cast<int32_t>(sampleData().size()));
        if (unpacked.result == LzResult::Complete) {
            ASSERT_EQ(unpacked.output.size(), size_t(unpacked.produced));
        }
    }
}

}  // namespace
