// Packer and unpacker together: every kind of data comes back unchanged, read
// both by the unpacker and by an independent plain reading of the stream; the
// packer's output cut short or damaged never leads the unpacker outside its
// buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "kit/lz/lz_pack.h"
#include "tests/lz/token_census.h"
#include "tests/lz/unpack_guarded.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes data(size);
    for (auto& value : data) value = static_cast<uint8_t>(random());
    return data;
}

Bytes readFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() > 400000) data.resize(400000);
    return data;
}

// The packed size, after checking both readings.
size_t expectRoundTrip(const Bytes& data, TokenCensus* census = nullptr) {
    Bytes packed = lzPack(data.data(), data.size());
    Unpacked unpacked = unpackGuarded(packed, data.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, static_cast<int32_t>(data.size()));
    EXPECT_TRUE(unpacked.output == data);
    if (data.empty()) return packed.size();
    TokenCensus plain = takeCensus(packed);
    EXPECT_TRUE(plain.output == data);
    if (census) *census = plain;
    return packed.size();
}

Bytes copiedBack(Bytes data, size_t offset, size_t length) {
    for (size_t i = 0; i < length; i++) data.push_back(data[data.size() - offset]);
    return data;
}

TEST(LzRoundTrip, ShortInputs) {
    EXPECT_EQ(expectRoundTrip({}), 0u);
    const uint8_t byte = 'L';  // the byte and the end marker
    EXPECT_EQ(lzPack(&byte, 1), (Bytes{'L', 0xC0, 0x00}));
    for (size_t size = 2; size < 40; size++) {
        expectRoundTrip(randomBytes(size, static_cast<uint32_t>(size)));
        expectRoundTrip(Bytes(size, 'z'));
    }
}

// Every kind of data a show holds, with the packed size it may take at most
// (random data grows by its control bits only, text packs to under half).
TEST(LzRoundTrip, KindsOfData) {
    Bytes pattern;
    for (int i = 0; i < 100000; i++) pattern.push_back("abc"[i % 3]);
    const Bytes licence = readFile("/usr/share/common-licenses/GPL-3");
    const struct {
        const char* name;
        Bytes data;
        size_t most;
    } cases[] = {
        {"zeros", Bytes(300000, 0), 64},
        {"pattern", pattern, 64},
        {"random", randomBytes(100000, 1), 0},
        {"licence text", licence, licence.size() / 2},
        {"program", readFile("/bin/sh"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.data.empty());
        // Without a better bound: at most its control bits more.
        EXPECT_LE(expectRoundTrip(c.data), c.most ? c.most : c.data.size() * 9 / 8 + 8);
    }
}

// Data made so that each token is the cheapest choice somewhere, with copies
// from both sides of every offset where the length bonus changes.
TEST(LzRoundTrip, PackerUsesEveryTokenKindAtEveryOffsetBoundary) {
    Bytes data = randomBytes(70000, 21);
    auto append = [&](const Bytes& more) { data.insert(data.end(), more.begin(), more.end()); };
    auto copyBack = [&](size_t offset, size_t length) { data = copiedBack(data, offset, length); };
    for (size_t offset : {1, 2, 15, 16, 127, 128, 129, 255, 256, 1279, 1280, 1281, 31999, 32000, 32001, 70000}) {
        for (size_t length : {2, 3, 4, 5, 300}) {
            copyBack(offset, length);
            append(randomBytes(3, static_cast<uint32_t>(offset + length)));
        }
    }
    for (int round = 0; round < 20; round++) {
        append(randomBytes(40000, 100 + round));  // literals, and distance for far matches
        copyBack(60000, 30);                    // offset 32000 or more
        append(randomBytes(5, 200 + round));
        copyBack(5000, 20);                     // 1280 to 31999
        append({0});                            // a lone zero byte
        append(randomBytes(5, 300 + round));
        copyBack(700, 12);                      // 128 to 1279
        append(randomBytes(3, 400 + round));
        copyBack(60, 9);                        // below 128
        append(randomBytes(4, 500 + round));
        copyBack(40, 2);                        // short match
        append(randomBytes(2, 600 + round));
        copyBack(6, 1);                         // single byte from close by
        append(randomBytes(2, 700 + round));
        // A record with one changed field: the match after it reuses the offset.
        copyBack(3000, 16);
        data.back() ^= 0x5A;
        copyBack(3000, 16);
    }
    TokenCensus census;
    expectRoundTrip(data, &census);
    for (size_t count : {census.literals, census.nearZero, census.nearCopy, census.shortMatches, census.repeats,
                         census.matches[0], census.matches[1], census.matches[2], census.matches[3]})
        EXPECT_GT(count, 0u);
}

// The packer plans in blocks of 65536 positions after the first byte; long
// matches that start just before a block ends must still be written whole
// or cut to a length their offset can express.
TEST(LzRoundTrip, LongMatchesAcrossPlanningBlocks) {
    for (size_t start = 65532; start <= 65538; start++) {
        SCOPED_TRACE(start);
        Bytes data = randomBytes(start, static_cast<uint32_t>(start));
        for (size_t offset : {size_t(5), size_t(30000), size_t(40000)}) {
            data.resize(start);
            expectRoundTrip(copiedBack(data, offset, 1000));
        }
    }
}

// A stretch of real text with the zero bytes of binary data, and a long copy
// of its start shortly before its end (the fast loop's copy near the block end).
const Bytes& sampleData() {
    static const Bytes data = [] {
        Bytes data = readFile("/usr/share/common-licenses/GPL-3");
        data.resize(2400);
        for (size_t i = 0; i < data.size(); i += 97) data[i] = 0;
        const Bytes start(data.begin(), data.begin() + 100);
        data.insert(data.end() - 200, start.begin(), start.end());
        return data;
    }();
    return data;
}

const Bytes& samplePacked() {
    static const Bytes packed = lzPack(sampleData().data(), sampleData().size());
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
    const Bytes& data = sampleData();
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

// Arbitrary streams are the LZ fuzz corpus's; damaged real ones go deeper.
TEST(LzBounds, DamagedPackerOutputStaysInsideItsBuffers) {
    std::mt19937 random(5);
    for (int round = 0; round < 2000; round++) {
        Bytes damaged = samplePacked();
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
