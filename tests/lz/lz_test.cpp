// The LZ method. The unpacker on hand-built streams: one token kind at a time
// with each length adjustment range; every token at every distance from the
// buffer ends, where the fast loop hands over to the careful one; hostile
// tokens, which stop it with Corrupt. Then packer and unpacker together: every
// kind of data comes back unchanged, read both by the unpacker and by an
// independent plain reading of the stream, and the packer's output cut short
// or damaged never leads the unpacker outside its buffers. The unpacker never
// reads past the packed bytes and never writes outside the output block (both
// end at an inaccessible page).
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "kit/lz/lz_pack.h"
#include "lib/lz_unpack.h"

namespace {

// Builds LZ streams by hand, bit by bit, independently of the packer: a tag
// byte is reserved in the output when the first of its eight bits is written.
class StreamBuilder {
public:
    StreamBuilder& byte(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }

    StreamBuilder& bit(int value) {
        if (used == 8) {
            tag = bytes.size();
            bytes.push_back(0);
            used = 0;
        }
        if (value) bytes[tag] |= uint8_t(0x80 >> used);
        used++;
        return *this;
    }

    StreamBuilder& bits(std::initializer_list<int> values) {
        for (int value : values) bit(value);
        return *this;
    }

    // Binary digits after the leading one, each followed by "more follow".
    StreamBuilder& gamma(uint32_t value) {
        int top = 31;
        while (!((value >> top) & 1)) top--;
        for (int i = top - 1; i >= 0; i--) bit((value >> i) & 1).bit(i > 0);
        return *this;
    }

    StreamBuilder& literal(uint8_t value) { return bit(0).byte(value); }
    // `count` literals of distinct-looking values.
    StreamBuilder& literals(size_t count) {
        for (size_t i = 0; i < count; i++) literal(static_cast<uint8_t>((bytes.size() * 2654435761u) >> 13));
        return *this;
    }
    StreamBuilder& nearToken(int offset) {
        bits({1, 1, 1});
        for (int i = 3; i >= 0; i--) bit((offset >> i) & 1);
        return *this;
    }
    StreamBuilder& shortMatch(int offset, int length) {
        return bits({1, 1, 0}).byte(uint8_t(offset << 1 | (length - 2)));
    }
    StreamBuilder& repeatMatch(uint32_t length) { return bits({1, 0}).gamma(2).gamma(length); }
    // codedLength is the gamma number stored, before the offset's bonus.
    StreamBuilder& match(uint32_t offset, uint32_t codedLength) {
        return bits({1, 0}).gamma((offset >> 8) + 3).byte(uint8_t(offset & 0xFF)).gamma(codedLength);
    }
    StreamBuilder& end() { return shortMatch(0, 2); }

    std::vector<uint8_t> bytes;

private:
    size_t tag = 0;
    int used = 8;
};

// A plain, slow reading of an LZ stream that counts which tokens it uses.
// It trusts the stream (only for the packer's own output and well-formed
// hand-built streams) and rebuilds the data independently of the unpacker.
struct TokenCensus {
    // nearZero and nearCopy are the single-byte token's zero-byte form and its
    // copy from 1 to 15 back; matches counts offsets below 128, below 1280,
    // below 32000 and from 32000 on.
    size_t literals = 0, nearZero = 0, nearCopy = 0, shortMatches = 0, repeats = 0, matches[4] = {};
    std::vector<uint8_t> output;
};

inline TokenCensus takeCensus(const std::vector<uint8_t>& packed) {
    TokenCensus census;
    size_t next = 0;
    unsigned tag = 0x80;
    auto byte = [&]() { return packed.at(next++); };
    auto bit = [&]() {
        unsigned result = (tag >> 7) & 1;
        tag = (tag << 1) & 0xFF;
        if (tag == 0) {
            unsigned fresh = byte();
            result = fresh >> 7;
            tag = ((fresh << 1) + 1) & 0xFF;
        }
        return result;
    };
    auto gamma = [&]() {
        uint32_t value = 1;
        do value = 2 * value + bit();
        while (bit());
        return value;
    };
    auto copy = [&](uint32_t offset, uint32_t length) {
        for (uint32_t i = 0; i < length; i++) census.output.push_back(census.output.at(census.output.size() - offset));
    };

    uint32_t last = 0;
    census.output.push_back(byte());
    for (;;) {
        if (!bit()) {
            census.literals++;
            census.output.push_back(byte());
        } else if (!bit()) {
            uint32_t high = gamma();
            if (high == 2) {
                census.repeats++;
                copy(last, gamma());
                continue;
            }
            last = (high - 3) * 256 + byte();
            const uint32_t range = last < 128 ? 0 : last < 1280 ? 1 : last < 32000 ? 2 : 3, bonus[] = {2, 0, 1, 2};
            census.matches[range]++;
            copy(last, gamma() + bonus[range]);
        } else if (!bit()) {
            uint32_t code = byte();
            if (code >> 1 == 0) break;
            census.shortMatches++;
            last = code >> 1;
            copy(last, 2 + (code & 1));
        } else {
            uint32_t offset = 0;
            for (int i = 0; i < 4; i++) offset = 2 * offset + bit();
            if (offset == 0) {
                census.nearZero++;
                census.output.push_back(0);
            } else {
                census.nearCopy++;
                copy(offset, 1);
            }
        }
    }
    return census;
}

// Runs the unpacker with input and output each ending right before an
// inaccessible page, so any read or write past their ends faults at once.
class GuardedBuffer {
public:
    GuardedBuffer(const std::vector<uint8_t>& contents, size_t size) : size_(size) {
        dataPages_ = (size / page() + 1) * page();
        mapped_ = static_cast<uint8_t*>(
            mmap(nullptr, dataPages_ + page(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(mapped_ + dataPages_, page(), PROT_NONE);
        std::memset(mapped_, kGuard, dataPages_);  // bytes before the block show stray writes
        if (!contents.empty()) std::memcpy(data(), contents.data(), contents.size());
    }
    ~GuardedBuffer() { munmap(mapped_, dataPages_ + page()); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return mapped_ + dataPages_ - size_; }
    std::vector<uint8_t> contents() { return std::vector<uint8_t>(data(), data() + size_); }
    // True when nothing before the block was touched.
    bool frontIntact() const {
        return std::all_of(mapped_, mapped_ + dataPages_ - size_, [](uint8_t byte) { return byte == kGuard; });
    }

private:
    static size_t page() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    static const uint8_t kGuard = 0xA5;
    size_t size_, dataPages_;
    uint8_t* mapped_;
};

struct Unpacked {
    LzResult result;
    int32_t produced = -1;
    std::vector<uint8_t> output;
    bool frontIntact;  // nothing written before the output block
};

inline Unpacked unpackGuarded(const std::vector<uint8_t>& packed, size_t unpackedSize) {
    GuardedBuffer input(packed, packed.size()), output({}, unpackedSize);
    Unpacked result;
    result.result = lzUnpack(input.data(), static_cast<int32_t>(packed.size()), output.data(),
                             static_cast<int32_t>(unpackedSize), &result.produced);
    result.output = output.contents();
    result.frontIntact = output.frontIntact();
    return result;
}

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Distinct-looking bytes, so that a copy from the wrong place shows.
Bytes randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes data(size);
    for (auto& value : data) value = static_cast<uint8_t>(random());
    return data;
}

StreamBuilder literals(const Bytes& data) {
    StreamBuilder builder;
    builder.byte(data[0]);
    for (size_t i = 1; i < data.size(); i++) builder.literal(data[i]);
    return builder;
}

// The expected result of copying length bytes from offset back, byte by byte.
void appendCopy(Bytes& data, size_t offset, size_t length) {
    for (size_t i = 0; i < length; i++) data.push_back(data[data.size() - offset]);
}

void expectUnpacksTo(const Bytes& packed, const Bytes& expected) {
    Unpacked unpacked = unpackGuarded(packed, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(unpacked.output, expected);
}

// Hand-made streams, bit by bit, and the builder's own bytes for them.
TEST(LzUnpack, SmallestStreams) {
    // The first byte, tag 110 and the end marker.
    EXPECT_EQ(StreamBuilder().byte('L').end().bytes, (Bytes{'L', 0xC0, 0x00}));
    // Tag 1110000 1: the near token with 0000 (a zero byte), then the end
    // marker's first bit; the next tag byte carries its 1, 0; then offset byte 0.
    expectUnpacksTo({'a', 0xE1, 0x80, 0x00}, {'a', 0});
    // Nine literals: the ninth control bit needs a second tag byte, which
    // comes after the eighth literal byte.
    Bytes packed = {'0', 0x00, '1', '2', '3', '4', '5', '6', '7', '8', 0x60, '9', 0x00};
    expectUnpacksTo(packed, bytesOf("0123456789"));
    EXPECT_EQ(literals(bytesOf("0123456789")).end().bytes, packed);
}

// One token after another on a history of distinct-looking bytes; each copy
// states the length the unpacker must copy (matches below offset 128 and from
// 1280 on copy more than their coded length, repeats never do).
struct Token {
    enum Kind { Literal, Near, Short, Match, Repeat } kind;
    uint32_t offset;  // or the literal's value
    uint32_t coded = 0, copied = 0;
};

TEST(LzUnpack, TokenSequences) {
    struct Case {
        const char* name;
        Bytes history;
        std::vector<Token> tokens;
    };
    const Case cases[] = {
        {"short matches of 2 and 3", randomBytes(200, 1),
         {{Token::Short, 127, 2, 2}, {Token::Short, 1, 3, 3}, {Token::Short, 100, 3, 3}}},
        {"overlapping copies repeat their own output", bytesOf("x"),
         {{Token::Match, 1, 30, 32}, {Token::Literal, 'a'}, {Token::Literal, 'b'}, {Token::Literal, 'c'},
          {Token::Match, 3, 10, 12}, {Token::Match, 2, 40, 42}}},
        // A long match sets 2000, the near token keeps it, a repeat reuses it;
        // then a short match sets 50 and the next repeat follows that.
        {"repeat uses the last match's offset", randomBytes(3000, 2),
         {{Token::Match, 2000, 6, 7}, {Token::Near, 4, 0, 1}, {Token::Repeat, 0, 9, 9}, {Token::Short, 50, 3, 3},
          {Token::Literal, 7}, {Token::Repeat, 0, 2, 2}}},
        {"repeat length has no adjustment", randomBytes(100, 3),
         {{Token::Short, 90, 2, 2}, {Token::Repeat, 0, 2, 2}, {Token::Match, 37, 2, 4}, {Token::Repeat, 0, 5, 5}}},
        {"match length bonus by offset range", randomBytes(70000, 4),
         {{Token::Match, 1, 2, 4}, {Token::Match, 127, 2, 4}, {Token::Match, 127, 9, 11}, {Token::Match, 128, 2, 2},
          {Token::Match, 200, 5, 5}, {Token::Match, 1279, 2, 2}, {Token::Match, 1280, 2, 3}, {Token::Match, 5000, 7, 8},
          {Token::Match, 31999, 2, 3}, {Token::Match, 32000, 2, 4}, {Token::Match, 40000, 13, 15},
          {Token::Match, 65535, 2, 4}, {Token::Match, 300, 1000, 1000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes expected = c.history;
        StreamBuilder builder = literals(expected);
        uint32_t last = 0;
        for (const Token& t : c.tokens) {
            switch (t.kind) {
                case Token::Literal: builder.literal(static_cast<uint8_t>(t.offset)); break;
                case Token::Near: builder.nearToken(static_cast<int>(t.offset)); break;
                case Token::Short: builder.shortMatch(static_cast<int>(t.offset), static_cast<int>(t.coded)); break;
                case Token::Match: builder.match(t.offset, t.coded); break;
                case Token::Repeat: builder.repeatMatch(t.coded); break;
            }
            if (t.kind == Token::Literal) expected.push_back(static_cast<uint8_t>(t.offset));
            if (t.kind == Token::Short || t.kind == Token::Match) last = t.offset;
            appendCopy(expected, t.kind == Token::Repeat ? last : t.offset, t.copied);
        }
        expectUnpacksTo(builder.end().bytes, expected);
    }
    // The near tokens above copy "b", "b" and "p" onto "a".."p".
    expectUnpacksTo(literals(bytesOf("abcdefghijklmnop")).nearToken(15).nearToken(1).nearToken(3).end().bytes,
                    bytesOf("abcdefghijklmnopbbp"));
}

// Each hostile token at the start of a short stream (decoded with per-byte
// checks), then after 2 to 9 literals with 100 more after it (decoded by the
// fast loop, the token starting at every bit of a tag byte): the unpacker
// stops with Corrupt right before the token.
TEST(LzBounds, HostileTokensAreCorruptWithoutWriting) {
    struct Case {
        const char* name;
        std::function<void(StreamBuilder&, uint32_t before)> token;
        size_t room;  // the output block's size for the short stream
        size_t written = 0;  // bytes the token writes before the fault shows
    };
    auto endlessGamma = [](StreamBuilder& b, uint32_t) {
        b.bits({1, 0});
        for (int i = 0; i < 200; i++) b.bits({1, 1});
    };
    const Case cases[] = {
        {"short match before the start", [](StreamBuilder& b, uint32_t before) { b.shortMatch(before + 1, 2); }, 64},
        {"near token before the start", [](StreamBuilder& b, uint32_t before) { b.nearToken(before + 1); }, 64},
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
        for (size_t variant = 0; variant <= 8; variant++) {
            const bool fast = variant > 0;
            const size_t before = fast ? variant + 1 : 2;
            SCOPED_TRACE(testing::Message() << c.name << " after " << before << (fast ? " amid literals" : ""));
            StreamBuilder builder;
            c.token(builder.byte('a').literals(before - 1), static_cast<uint32_t>(before));
            builder.literals(fast ? 100 : 0).end();
            size_t room = fast ? std::max<size_t>(c.room, 400) : c.room;
            if (c.room == 0) room = before + 31;  // one byte short of the copy's end
            Unpacked unpacked = unpackGuarded(builder.bytes, room);
            EXPECT_EQ(unpacked.result, LzResult::Corrupt);
            EXPECT_EQ(unpacked.produced, static_cast<int32_t>(before + c.written));
            EXPECT_TRUE(unpacked.frontIntact);
        }
    }
}

// The edge cases that are fine: offsets right to the start (below 128 the
// length gains 2), an empty stream for an empty block.
// Otherwise stream and block sizes must agree.
TEST(LzBounds, TokensRightAtTheLimitsAndBlockSizes) {
    Unpacked exact = unpackGuarded(StreamBuilder().byte('a').literal('b').shortMatch(2, 2).nearToken(4).end().bytes, 5);
    EXPECT_EQ(exact.result, LzResult::Complete);
    EXPECT_EQ(exact.output, (Bytes{'a', 'b', 'a', 'b', 'a'}));
    EXPECT_EQ(unpackGuarded({}, 0).result, LzResult::Complete);
    EXPECT_EQ(unpackGuarded({}, 5).result, LzResult::Corrupt);
    EXPECT_EQ(unpackGuarded({'L', 0xC0, 0x00}, 5).result, LzResult::Corrupt);  // ends early
    EXPECT_EQ(unpackGuarded({'L', 0xC0, 0x00}, 0).result, LzResult::Corrupt);  // not even the first byte
    // The fast loop's turn: a match right to the start amid 100 literals on
    // either side, and an end marker before the block is full. Bytes after the
    // marker are never read.
    StreamBuilder amid = StreamBuilder().byte('a').literals(100).match(101, 2).literals(100).end();
    amid.bytes.insert(amid.bytes.end(), 100, 0xFF);
    Unpacked far = unpackGuarded(amid.bytes, 205);
    EXPECT_EQ(far.result, LzResult::Complete);
    EXPECT_EQ(far.output[101], 'a');
    Unpacked early = unpackGuarded(amid.bytes, 305);
    EXPECT_EQ(early.result, LzResult::Corrupt);
    EXPECT_EQ(early.produced, 205);
}

struct TokenCase {
    std::string name;
    size_t history;  // literals needed before the token
    std::function<void(StreamBuilder&)> token;
};

std::vector<TokenCase> tokenCases() {
    std::vector<TokenCase> cases;
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
}

// The first byte, `before` literals that a match can take any offset into,
// the token, then `after` (literals, or more tokens).
Bytes around(const TokenCase& tokenCase, size_t before, const std::function<void(StreamBuilder&)>& after) {
    StreamBuilder builder;
    tokenCase.token(builder.byte('a').literals(before));
    after(builder);
    return builder.end().bytes;
}

// Every token kind at every distance from the ends of the packed and the
// unpacked block and at every bit of a tag byte, against a plain reading of
// the stream (the packer's output cut short anywhere is the round trip
// tests').
TEST(LzFastPath, EveryTokenAtEveryDistanceFromTheEndsAndEveryBitOfTheTagByte) {
    for (const TokenCase& c : tokenCases()) {
        // Every distance up to a few bytes from the ends and around the point
        // where the fast loop hands over to the careful one. Each literal
        // before takes one control bit, so the token starts at every bit of a
        // tag byte; control bits that run past it are read with the next tag
        // byte in whole, also for the tokens after.
        for (size_t after = 0; after <= 80; after += after < 12 || (after >= 44 && after < 72) ? 1 : 4) {
            SCOPED_TRACE(testing::Message() << c.name << " " << after << " from the end");
            const size_t before = std::max<size_t>(c.history, 80) / 8 * 8 + after % 8;
            Bytes packed = around(c, before, [after](StreamBuilder& b) {
                if (after % 3 == 2) b.nearToken(0).match(77, 70).nearToken(3);
                b.literals(after);
            });
            Bytes expected = takeCensus(packed).output;
            Unpacked unpacked = unpackGuarded(packed, expected.size());
            ASSERT_EQ(unpacked.result, LzResult::Complete);
            ASSERT_EQ(unpacked.produced, static_cast<int32_t>(expected.size()));
            ASSERT_EQ(unpacked.output, expected);
            ASSERT_TRUE(unpacked.frontIntact);
            // One byte less room: the data does not fit and nothing is written past it.
            Unpacked tight = unpackGuarded(packed, expected.size() - 1);
            ASSERT_EQ(tight.result, LzResult::Corrupt);
            ASSERT_TRUE(tight.frontIntact);
        }
    }
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
    // The byte and the end marker.
    EXPECT_EQ(lzPack(reinterpret_cast<const uint8_t*>("L"), 1), (Bytes{'L', 0xC0, 0x00}));
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
