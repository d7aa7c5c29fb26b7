// Packer and unpacker together: every kind of data comes back unchanged, read
// both by the unpacker and by an independent plain reading of the stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "kit/lz/lz_pack.h"
#include "tests/lz/token_census.h"
#include "tests/lz/unpack_guarded.h"

namespace {

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(size);
    for (auto& value : data) value = static_cast<uint8_t>(random());
    return data;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path, size_t limit) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() > limit) data.resize(limit);
    return data;
}

TokenCensus expectRoundTrip(const std::vector<uint8_t>& data, size_t* packedSize = nullptr) {
    std::vector<uint8_t> packed = lzPack(data.data(), data.size());
    if (packedSize) *packedSize = packed.size();
    Unpacked unpacked = unpackGuarded(packed, data.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, static_cast<int32_t>(data.size()));
    EXPECT_TRUE(unpacked.output == data);
    if (data.empty()) return {};
    TokenCensus census = takeCensus(packed);
    EXPECT_TRUE(census.output == data);
    return census;
}

std::vector<uint8_t> copiedBack(std::vector<uint8_t> data, size_t offset, size_t length) {
    for (size_t i = 0; i < length; i++) data.push_back(data[data.size() - offset]);
    return data;
}

TEST(LzRoundTrip, ShortAndFarInputs) {
    EXPECT_TRUE(lzPack(nullptr, 0).empty());
    expectRoundTrip({});
    const uint8_t byte = 'L';  // the byte and the end marker
    EXPECT_EQ(lzPack(&byte, 1), (std::vector<uint8_t>{'L', 0xC0, 0x00}));
    expectRoundTrip({0});
    expectRoundTrip({0xFF});
    for (size_t size = 2; size < 40; size++) {
        expectRoundTrip(randomBytes(size, static_cast<uint32_t>(size)));
        expectRoundTrip(std::vector<uint8_t>(size, 'z'));
    }
    // A long stretch repeated from far back.
    std::vector<uint8_t> far = randomBytes(50000, 11), middle = randomBytes(900000, 12), copy = far;
    far.insert(far.end(), middle.begin(), middle.end());
    far.insert(far.end(), copy.begin(), copy.end());
    EXPECT_GT(expectRoundTrip(far).matchesFar, 0u);
}

// Every kind of data a show holds, with the packed size it may take at most
// (random data grows by its control bits only, text packs to under half).
TEST(LzRoundTrip, KindsOfData) {
    std::vector<uint8_t> pattern, text, structured, audio;
    for (int i = 0; i < 100000; i++) pattern.push_back("abc"[i % 3]);
    const char* words[] = {"the ", "show ", "of ", "pictures ", "and ", "music ", "typed ", "caption ", "\n"};
    std::mt19937 random(3);
    while (text.size() < 200000) {
        const char* word = words[random() % 9];
        text.insert(text.end(), word, word + strlen(word));
    }
    for (uint32_t i = 0; i < 40000; i++) {
        uint32_t values[2] = {i * 7, i * i};
        structured.insert(structured.end(), reinterpret_cast<uint8_t*>(values), reinterpret_cast<uint8_t*>(values + 2));
    }
    for (int i = 0; i < 60000; i++) {
        int16_t sample = static_cast<int16_t>(8000 * std::sin(i * 0.031) + 3000 * std::sin(i * 0.0071));
        audio.push_back(static_cast<uint8_t>(sample));
        audio.push_back(static_cast<uint8_t>(sample >> 8));
    }
    const std::vector<uint8_t> licence = readFile("/usr/share/common-licenses/GPL-3", 400000);
    const struct {
        const char* name;
        std::vector<uint8_t> data;
        size_t most;
    } cases[] = {
        {"zeros", std::vector<uint8_t>(300000, 0), 64},
        {"pattern", pattern, 64},
        {"random", randomBytes(100000, 1), 0},
        {"text", text, text.size() / 3},
        {"structured binary", structured, 0},
        {"sixteen-bit audio", audio, 0},
        {"licence text", licence, licence.size() / 2},
        {"program", readFile("/bin/sh", 400000), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.data.empty());
        size_t packed = 0;
        expectRoundTrip(c.data, &packed);
        // Without a better bound: at most its control bits more.
        EXPECT_LE(packed, c.most ? c.most : c.data.size() * 9 / 8 + 8);
    }
}

TEST(LzRoundTrip, RepeatsAtOffsetBoundaries) {
    const size_t offsets[] = {1, 2, 15, 16, 127, 128, 129, 255, 256, 1279, 1280, 1281, 31999, 32000, 32001, 70000};
    for (size_t offset : offsets) {
        SCOPED_TRACE(offset);
        std::vector<uint8_t> data = randomBytes(offset, static_cast<uint32_t>(offset));
        for (size_t length : {2, 3, 4, 5, 300}) {
            data = copiedBack(data, offset, length);
            std::vector<uint8_t> noise = randomBytes(3, static_cast<uint32_t>(length));
            data.insert(data.end(), noise.begin(), noise.end());
        }
        expectRoundTrip(data);
    }
}

// Data made so that each token is the cheapest choice somewhere.
TEST(LzRoundTrip, PackerUsesEveryTokenKind) {
    std::vector<uint8_t> data = randomBytes(70000, 21);
    auto append = [&](const std::vector<uint8_t>& more) { data.insert(data.end(), more.begin(), more.end()); };
    auto copyBack = [&](size_t offset, size_t length) { data = copiedBack(data, offset, length); };
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
    TokenCensus census = expectRoundTrip(data);
    for (size_t count : {census.literals, census.nearZero, census.nearCopy, census.shortMatches, census.repeats,
                         census.matchesBelow128, census.matchesBelow1280, census.matchesBelow32000, census.matchesFar})
        EXPECT_GT(count, 0u);
}

// The packer plans in blocks of 65536 positions after the first byte; long
// matches that start just before a block ends must still be written whole
// or cut to a length their offset can express.
TEST(LzRoundTrip, LongMatchesAcrossPlanningBlocks) {
    for (size_t start = 65532; start <= 65538; start++) {
        SCOPED_TRACE(start);
        std::vector<uint8_t> data = randomBytes(start, static_cast<uint32_t>(start));
        for (size_t offset : {size_t(5), size_t(30000), size_t(40000)}) {
            data.resize(start);
            expectRoundTrip(copiedBack(data, offset, 1000));
        }
    }
}

// Pieces of every kind at random offsets and lengths, over several blocks.
TEST(LzRoundTrip, RandomlyAssembledData) {
    std::mt19937 random(2024);
    for (int round = 0; round < 8; round++) {
        std::vector<uint8_t> data = randomBytes(1 + random() % 64, round);
        size_t size = 50000 + random() % 150000;
        while (data.size() < size) {
            uint32_t kind = random() % 4;
            size_t length = 1 + random() % (kind == 3 ? 3000 : 300);
            if (kind == 0) {
                for (size_t i = 0; i < length; i++) data.push_back(static_cast<uint8_t>(random()));
            } else if (kind == 1) {
                data.insert(data.end(), length, static_cast<uint8_t>(random() % 3));
            } else {
                data = copiedBack(data, 1 + random() % std::min<size_t>(data.size(), kind == 2 ? 200 : 100000), length);
            }
        }
        expectRoundTrip(data);
    }
}

}  // namespace
