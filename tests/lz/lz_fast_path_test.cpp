// The unpacker decodes most tokens without per-byte checks while it is far
// from both buffer ends. Every token kind is placed at every distance from
// the ends of the packed and the unpacked block, and the output is compared
// with a plain reading of the stream.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "tests/lz/stream_builder.h"
#include "tests/lz/token_census.h"
#include "tests/lz/unpack_guarded.h"

namespace {

struct Case {
    std::string name;
    size_t history;  // literals needed before the token
    std::function<void(StreamBuilder&)> token;
};

const std::vector<Case>& tokenCases() {
    static const std::vector<Case> cases = [] {
        std::vector<Case> cases;
        for (int run = 1; run <= 9; run++) {
            cases.push_back({"literals" + std::to_string(run), 0, [run](StreamBuilder& builder) {
                                 for (int i = 0; i < run; i++) builder.literal(static_cast<uint8_t>(0x30 + i));
                             }});
        }
        for (int offset = 0; offset < 16; offset++) {
            cases.push_back({"near" + std::to_string(offset), 16, [offset](StreamBuilder& b) { b.nearToken(offset); }});
        }
        for (int offset : {1, 2, 3, 7, 8, 15, 16, 127}) {
            for (int length : {2, 3}) {
                cases.push_back({"short" + std::to_string(offset) + "x" + std::to_string(length), 128,
                                 [offset, length](StreamBuilder& b) { b.shortMatch(offset, length); }});
            }
        }
        // Offsets on both sides of every length adjustment and of the copy
        // strategies (one byte, under 8, under 16), with short and long lengths;
        // far offsets need long histories, so fewer lengths keep the test quick.
        for (uint32_t offset : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 127u, 128u, 255u, 256u, 1279u, 1280u,
                                31999u, 32000u}) {
            for (uint32_t coded : {2u, 3u, 5u, 6u, 7u, 14u, 15u, 16u, 17u, 40u, 100u}) {
                if (offset > 1280 && coded != 2 && coded != 17) continue;
                cases.push_back({"match" + std::to_string(offset) + "x" + std::to_string(coded), offset + 1,
                                 [offset, coded](StreamBuilder& b) { b.match(offset, coded).repeatMatch(coded); }});
            }
        }
        return cases;
    }();
    return cases;
}

// The first byte, then random literals that a match can take any offset into,
// the token and `after` (literals, or more tokens).
StreamBuilder around(const Case& tokenCase, size_t before, std::function<void(StreamBuilder&)> after,
                     std::mt19937& random) {
    StreamBuilder builder;
    builder.byte('a');
    for (size_t i = 0; i < before; i++) builder.literal(static_cast<uint8_t>(random()));
    tokenCase.token(builder);
    after(builder);
    builder.end();
    return builder;
}

auto literalsAfter(size_t count, std::mt19937& random) {
    return [count, &random](StreamBuilder& builder) {
        for (size_t i = 0; i < count; i++) builder.literal(static_cast<uint8_t>(random()));
    };
}

TEST(LzFastPath, EveryTokenAtEveryDistanceFromTheEnds) {
    std::mt19937 random(3);
    for (const Case& c : tokenCases()) {
        // Every distance up to a few bytes from the ends and around the point
        // where the fast loop hands over to the careful one.
        for (size_t after = 0; after <= 80; after += after < 12 || (after >= 44 && after < 72) ? 1 : 4) {
            SCOPED_TRACE(testing::Message() << c.name << " " << after);
            StreamBuilder builder = around(c, std::max<size_t>(c.history, 80), literalsAfter(after, random), random);
            std::vector<uint8_t> expected = takeCensus(builder.bytes).output;
            Unpacked unpacked = unpackGuarded(builder.bytes, expected.size());
            ASSERT_EQ(unpacked.result, LzResult::Complete);
            ASSERT_EQ(unpacked.produced, static_cast<int32_t>(expected.size()));
            ASSERT_EQ(unpacked.output, expected);
            ASSERT_TRUE(unpacked.frontIntact);
            // One byte less room: the data does not fit and nothing is written past it.
            Unpacked tight = unpackGuarded(builder.bytes, expected.size() - 1);
            ASSERT_EQ(tight.result, LzResult::Corrupt);
            ASSERT_TRUE(tight.frontIntact);
        }
    }
}

// Control bits that run past a tag byte are read with the next tag byte in
// whole; each token starts at every bit of the tag byte, far from the ends.
TEST(LzFastPath, EveryTokenAtEveryBitOfTheTagByte) {
    std::mt19937 random(5);
    for (const Case& c : tokenCases()) {
        for (size_t bit = 0; bit < 8; bit++) {
            SCOPED_TRACE(testing::Message() << c.name << " " << bit);
            // Each literal takes one control bit; more tokens follow across tag bytes.
            StreamBuilder builder = around(c, std::max<size_t>(c.history, 80) / 8 * 8 + bit, [&](StreamBuilder& b) {
                b.nearToken(0).match(77, 70).nearToken(3);
                literalsAfter(80, random)(b);
            }, random);
            std::vector<uint8_t> expected = takeCensus(builder.bytes).output;
            Unpacked unpacked = unpackGuarded(builder.bytes, expected.size());
            ASSERT_EQ(unpacked.result, LzResult::Complete);
            ASSERT_EQ(unpacked.output, expected);
        }
    }
}

TEST(LzFastPath, EveryTokenCutShortNearTheEndIsCorrupt) {
    std::mt19937 random(4);
    for (const Case& c : tokenCases()) {
        StreamBuilder builder = around(c, std::max<size_t>(c.history, 100), [](StreamBuilder&) {}, random);
        std::vector<uint8_t> expected = takeCensus(builder.bytes).output;
        const size_t size = builder.bytes.size();
        for (size_t cut = 1; cut <= 90 && cut < size; cut += cut < 12 || (cut >= 56 && cut < 80) ? 1 : 3) {
            SCOPED_TRACE(testing::Message() << c.name << " " << cut);
            Unpacked unpacked = unpackGuarded({builder.bytes.begin(), builder.bytes.end() - cut}, expected.size());
            ASSERT_EQ(unpacked.result, LzResult::Corrupt);
            ASSERT_LE(unpacked.produced, static_cast<int32_t>(expected.size()));
            ASSERT_TRUE(unpacked.frontIntact);
        }
    }
}

}  // namespace
