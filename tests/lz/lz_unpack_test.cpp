// The unpacker on hand-built streams: one token kind at a time, each length
// adjustment range and its boundaries.
#include <gtest/gtest.h>

#include <string>

#include "tests/lz/stream_builder.h"
#include "tests/lz/unpack_guarded.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Distinct-looking history so that a copy from the wrong place shows.
std::vector<uint8_t> history(size_t size) {
    std::vector<uint8_t> data(size);
    uint32_t state = 12345;
    for (auto& value : data) value = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 23);
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
    for (size_t i = 0; i < length; i++) data.push_back(data[data.size() - offset]);
}

void expectUnpacksTo(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& expected) {
    Unpacked unpacked = unpackGuarded(packed, expected.size());
    EXPECT_EQ(unpacked.result, LzResult::Complete);
    EXPECT_EQ(unpacked.produced, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(unpacked.output, expected);
}

// Hand-made streams, bit by bit, and the builder's own bytes for them.
TEST(LzUnpack, SmallestStreams) {
    // The first byte, tag 110 and the end marker.
    expectUnpacksTo({'L', 0xC0, 0x00}, bytesOf("L"));
    EXPECT_EQ(StreamBuilder().byte('L').end().bytes, (std::vector<uint8_t>{'L', 0xC0, 0x00}));
    // Tag 1110000 1: the near token with 0000 (a zero byte), then the end
    // marker's first bit; the next tag byte carries its 1, 0; then offset byte 0.
    expectUnpacksTo({'a', 0xE1, 0x80, 0x00}, {'a', 0});
    // Nine literals: the ninth control bit needs a second tag byte, which
    // comes after the eighth literal byte.
    std::vector<uint8_t> packed = {'0', 0x00, '1', '2', '3', '4', '5', '6', '7', '8', 0x60, '9', 0x00};
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
        std::vector<uint8_t> history;
        std::vector<Token> tokens;
    };
    const Case cases[] = {
        {"near tokens 15, 1 and 3 back", bytesOf("abcdefghijklmnop"),
         {{Token::Near, 15, 0, 1}, {Token::Near, 1, 0, 1}, {Token::Near, 3, 0, 1}}},
        {"short matches of 2 and 3", history(200),
         {{Token::Short, 127, 2, 2}, {Token::Short, 1, 3, 3}, {Token::Short, 100, 3, 3}}},
        {"overlapping copies repeat their own output", bytesOf("x"),
         {{Token::Match, 1, 30, 32}, {Token::Literal, 'a'}, {Token::Literal, 'b'}, {Token::Literal, 'c'},
          {Token::Match, 3, 10, 12}, {Token::Match, 2, 40, 42}}},
        // A long match sets 2000, the near token keeps it, a repeat reuses it;
        // then a short match sets 50 and the next repeat follows that.
        {"repeat uses the last match's offset", history(3000),
         {{Token::Match, 2000, 6, 7}, {Token::Near, 4, 0, 1}, {Token::Repeat, 0, 9, 9}, {Token::Short, 50, 3, 3},
          {Token::Literal, 7}, {Token::Repeat, 0, 2, 2}}},
        {"repeat length has no adjustment", history(100),
         {{Token::Short, 90, 2, 2}, {Token::Repeat, 0, 2, 2}, {Token::Match, 37, 2, 4}, {Token::Repeat, 0, 5, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> expected = c.history;
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

TEST(LzUnpack, MatchLengthAdjustmentByOffsetRange) {
    struct Case {
        uint32_t offset, coded, length;  // length: what the unpacker must copy
    };
    const Case cases[] = {
        {1, 2, 4},       {127, 2, 4},   {127, 9, 11},  {128, 2, 2},     {200, 5, 5},     {1279, 2, 2},
        {1280, 2, 3},    {5000, 7, 8},  {31999, 2, 3}, {32000, 2, 4},   {40000, 13, 15}, {65535, 2, 4},
        {300, 1000, 1000},
    };
    const std::vector<uint8_t> data = history(70000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        std::vector<uint8_t> expected = data;
        appendCopy(expected, c.offset, c.length);
        expectUnpacksTo(literals(data).match(c.offset, c.coded).end().bytes, expected);
    }
}

}  // namespace
