#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "font/unicode_font.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TestGlyph {
    uint16_t code;
    GlyphRecord record;
};

void put_u16(Bytes& out, size_t at, uint32_t value) {
    if (out.size() < at + 2) out.resize(at + 2);
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

void put_u32(Bytes& out, size_t at, uint32_t value) {
    put_u16(out, at, value & 0xFFFF);
    put_u16(out, at + 2, value >> 16);
}

// Builds a definition file with the tables stored in the reverse order of the
// header (glyph records first, widths last), with gaps between them.
Bytes build_definition(const std::vector<uint32_t>& widths, const std::vector<uint32_t>& heights,
                       const std::vector<TestGlyph>& glyphs) {
    const uint32_t pages = uint32_t(widths.size());
    const uint32_t count = uint32_t(glyphs.size());
    const uint32_t glyph_table = 40;
    const uint32_t code_table = glyph_table + 28 * count + 6;
    const uint32_t height_table = code_table + 2 * count + 3;
    const uint32_t width_table = height_table + 4 * pages + 1;
    Bytes out;
    put_u32(out, 0, 0xDEADBEEF);
    put_u16(out, 4, pages);
    put_u16(out, 6, count);
    put_u32(out, 8, width_table);
    put_u32(out, 12, height_table);
    put_u32(out, 16, code_table);
    put_u32(out, 20, glyph_table);
    for (uint32_t j = 0; j < count; ++j) {
        const GlyphRecord& r = glyphs[j].record;
        const int32_t fields[7] = {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page};
        for (int f = 0; f < 7; ++f) put_u32(out, glyph_table + 28 * j + 4 * f, uint32_t(fields[f]));
        put_u16(out, code_table + 2 * j, glyphs[j].code);
    }
    for (uint32_t p = 0; p < pages; ++p) {
        put_u32(out, height_table + 4 * p, heights[p]);
        put_u32(out, width_table + 4 * p, widths[p]);
    }
    return out;
}

class Definition {
public:
    Definition() { clear_font_definition(&font); }
    ~Definition() { free_font_definition(&font); }
    bool parse(const Bytes& bytes) { return parse_font_definition(bytes.data(), bytes.size(), &font); }
    FontDefinition font;
};

std::vector<int32_t> fields(const GlyphRecord& r) { return {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page}; }

GlyphRecord cell(int32_t x, int32_t y, int32_t width, int32_t height, int32_t page = 0) {
    return GlyphRecord{x, y, width, height, 2, 3, page};
}

// Every mapped glyph can be drawn: its page has a texture and its record makes a cell.
void expect_map_is_safe(const FontDefinition& font) {
    for (uint32_t code = 0; code < 65536; ++code) {
        const uint16_t g = font.glyph_map[code];
        if (g == kNoGlyph) continue;
        ASSERT_LT(g, font.glyph_count);
        const GlyphRecord& r = font.glyphs[g];
        ASSERT_GE(r.page, 0);
        ASSERT_LT(r.page, font.page_count);
        ASSERT_LT(r.page, kFontMaxPages);
        ASSERT_GE(r.width, 0);
        ASSERT_GE(r.height, 0);
        ASSERT_EQ(font.glyph_code[g], code);
    }
}

}  // namespace

TEST(FontDefinition, FollowsTheOffsetsInAnyOrder) {
    Definition d;
    ASSERT_TRUE(d.parse(build_definition({256, 128}, {256, 3},
                                         {{0x4E00, cell(10, 20, 12, 14, 1)}, {0x0100, GlyphRecord{1, 2, 3, 4, -5, 6, 0}}})));
    const FontDefinition& f = d.font;
    EXPECT_EQ(f.page_count, 2);
    EXPECT_EQ(f.glyph_count, 2);
    EXPECT_EQ(f.page_width[1], 128u);
    EXPECT_EQ(f.page_height[1], 3u);
    EXPECT_EQ(f.inv_page_width[0], 1.0f / 256.0f);
    EXPECT_EQ(f.inv_page_height[1], 1.0f / 3.0f);
    EXPECT_EQ(f.glyph_map[0x4E00], 0);
    EXPECT_EQ(f.glyph_map[0x0100], 1);
    EXPECT_EQ(f.glyph_map[0x0041], kNoGlyph);
    EXPECT_EQ(fields(f.glyphs[1]), (std::vector<int32_t>{1, 2, 3, 4, -5, 6, 0}));
    EXPECT_EQ(f.glyphs[0].page, 1);
    EXPECT_EQ(f.scale, 1.0f);
    EXPECT_EQ(f.top, 2.0f);  // smallest y of a glyph with width
}

TEST(FontDefinition, WidensLatinCellsBelowU00FF) {
    Definition d;
    ASSERT_TRUE(d.parse(build_definition({256}, {256},
                                         {{0x00FE, GlyphRecord{10, 20, 8, 16, 1, 2, 0}},
                                          {0x00FF, GlyphRecord{10, 20, 8, 16, 1, 2, 0}},
                                          {0x0000, GlyphRecord{30, 20, 8, 16, 1, 2, 0}},
                                          {0x2014, GlyphRecord{40, 20, 8, 16, 1, 2, 0}}})));
    // One texel more on each side and one below, for linear filtering; U+00FF and above stay.
    EXPECT_EQ(fields(d.font.glyphs[0]), (std::vector<int32_t>{9, 20, 12, 18, 0, 1, 0}));
    EXPECT_EQ(fields(d.font.glyphs[1]), (std::vector<int32_t>{10, 20, 8, 16, 1, 2, 0}));
    EXPECT_EQ(d.font.glyphs[2].width, 12);
    EXPECT_EQ(d.font.glyphs[3].width, 8);
}

TEST(FontDefinition, DuplicatesZeroWidthsAndEmptyFiles) {
    Definition d;
    ASSERT_TRUE(d.parse(build_definition({256}, {256},
                                         {{'A', cell(1, 1, 5, 5)}, {'B', cell(9, 1, 5, 5)}, {'A', cell(17, 1, 5, 5)}})));
    EXPECT_EQ(d.font.glyph_map['A'], 2);  // the later duplicate wins
    EXPECT_EQ(d.font.glyph_map['B'], 1);
    // A widened zero-width Latin glyph takes part in the top; others don't.
    ASSERT_TRUE(d.parse(build_definition({256}, {256},
                                         {{0x2000, cell(1, 1, 0, 5)}, {' ', cell(4, 5, 0, 5)}, {0x0100, cell(9, 9, 3, 5)}})));
    EXPECT_EQ(d.font.glyphs[1].width, 4);
    EXPECT_EQ(d.font.glyphs[0].width, 0);
    EXPECT_EQ(d.font.top, 5.0f);
    ASSERT_TRUE(d.parse(build_definition({0}, {256}, {{'A', cell(1, 1, 5, 5)}})));
    EXPECT_TRUE(std::isinf(d.font.inv_page_width[0]));  // a zero page size
    ASSERT_TRUE(d.parse(build_definition({256}, {256}, {})));
    EXPECT_EQ(d.font.glyph_count, 0);
    for (uint32_t code = 0; code < 65536; ++code) ASSERT_EQ(d.font.glyph_map[code], kNoGlyph);
    EXPECT_EQ(d.font.top, 2147483648.0f);
    ASSERT_TRUE(parse_font_definition(nullptr, 0, &d.font));
    EXPECT_EQ(d.font.page_count, 0);
    EXPECT_EQ(d.font.glyph_count, 0);
    EXPECT_EQ(d.font.glyph_map['A'], kNoGlyph);
}

// Glyphs on pages that don't exist or have no texture slot, with negative
// sizes or cells whose arithmetic overflows are missing.
TEST(FontDefinition, UnsafeGlyphsAreMissing) {
    const std::vector<uint32_t> sizes(14, 256);
    Definition d;
    ASSERT_TRUE(d.parse(build_definition(sizes, sizes,
                                         {{'a', cell(1, 1, 5, 5, 14)},
                                          {'b', cell(1, 1, 5, 5, -1)},
                                          {'c', cell(1, 1, 5, 5, 13)},  // no texture slot for a 14th page
                                          {'d', cell(1, 1, 5, 5, 12)},
                                          {'e', cell(1, 1, -1, 5)},
                                          {'f', cell(1, 1, 5, -5)},
                                          {'g', cell(INT_MIN, 1, 5, 5)},
                                          {'h', cell(1, 1, INT_MAX, 5)},
                                          {0x2014, cell(INT_MIN, 1, INT_MAX, 5)},  // not widened: no overflow
                                          {'i', cell(1, 1, 5, 5)}})));
    for (char16_t code : {u'a', u'b', u'c', u'e', u'f', u'g', u'h'})
        EXPECT_EQ(d.font.glyph_map[code], kNoGlyph) << char(code);
    EXPECT_EQ(d.font.glyph_map['d'], 3);
    EXPECT_EQ(d.font.glyph_map[0x2014], 8);
    EXPECT_EQ(d.font.glyph_map['i'], 9);
    EXPECT_EQ(d.font.top, 1.0f);
}

TEST(FontDefinition, TablesBeyondTheEndAreReadAsFarAsTheyGo) {
    const Bytes whole = build_definition({256}, {256}, {{'a', cell(1, 7, 5, 5)}, {'b', cell(9, 3, 5, 5)}});
    // The file is laid out as header, glyph records, code table, heights, widths.
    Definition d;
    const size_t width_table = whole.size() - 4;
    ASSERT_TRUE(d.parse(Bytes(whole.begin(), whole.begin() + width_table + 2)));
    EXPECT_EQ(d.font.page_width[0], 0u);  // not read
    EXPECT_EQ(d.font.glyph_map['a'], kNoGlyph);
    EXPECT_EQ(d.font.glyph_map['b'], kNoGlyph);

    const size_t code_table = 40 + 2 * 28 + 6;
    ASSERT_TRUE(d.parse(Bytes(whole.begin(), whole.begin() + code_table + 3)));
    EXPECT_EQ(d.font.glyph_map['a'], kNoGlyph);  // page sizes unread

    // Glyph records cut inside the second record.
    Bytes cut(whole.begin(), whole.begin() + 40 + 28 + 27);
    ASSERT_TRUE(d.parse(cut));
    EXPECT_EQ(d.font.glyph_count, 2);
    EXPECT_EQ(d.font.glyph_map['a'], kNoGlyph);

    // Offsets far beyond the file: nothing read, nothing drawn, no fault.
    Bytes wild = whole;
    put_u32(wild, 16, 0xFFFFFFF0u);
    put_u32(wild, 20, 0x7FFFFFFFu);
    ASSERT_TRUE(d.parse(wild));
    EXPECT_EQ(d.font.glyph_map['a'], kNoGlyph);
    expect_map_is_safe(d.font);
}

TEST(FontDefinition, EveryPrefixOfAFileParses) {
    std::vector<TestGlyph> glyphs;
    for (int j = 0; j < 12; ++j) glyphs.push_back({uint16_t('a' + j), cell(10 * j, 2 + j, 5, 5, j % 2)});
    const Bytes whole = build_definition({256, 256}, {256, 256}, glyphs);
    Definition d;
    for (size_t length = 0; length <= whole.size(); ++length) {
        ASSERT_TRUE(d.parse(Bytes(whole.begin(), whole.begin() + length)));
        expect_map_is_safe(d.font);
    }
    for (int j = 0; j < 12; ++j) EXPECT_EQ(d.font.glyph_map['a' + j], j);
    EXPECT_EQ(d.font.top, 2.0f);  // widening never moves a cell's top row
}

TEST(FontDefinition, RandomBytesNeverMapAnUnsafeGlyph) {
    std::mt19937 random(20261206);
    Definition d;
    for (int round = 0; round < 300; ++round) {
        Bytes bytes(24 + random() % 600);
        for (uint8_t& byte : bytes) byte = uint8_t(random());
        // Small counts and offsets inside the file, so the tables are really read.
        put_u16(bytes, 4, random() % 16);
        put_u16(bytes, 6, random() % 24);
        for (size_t field = 8; field < 24; field += 4) put_u32(bytes, field, uint32_t(random() % bytes.size()));
        ASSERT_TRUE(d.parse(bytes));
        expect_map_is_safe(d.font);
    }
}
