// Font files: a definition is read as far as it goes and every glyph that was
// not read whole, or cannot be drawn, is a missing glyph; a glyph page (raw
// 256 x 256 RGB) that is short comes out black where it ends, and a missing
// one is transparent.
#include <climits>
#include <optional>
#include <set>

#include "bad_input_support.h"
#include "font/texture.h"
#include "font/unicode_font.h"

namespace {

struct Glyph {
    uint16_t code;
    int32_t x, y, width, height, x_offset, spacing, page;
};

// A definition field by field: the header, the page sizes, the codes, the records.
struct Definition {
    uint32_t pages = 2;
    std::vector<Glyph> glyphs = {{'A', 0, 10, 8, 12, 0, 1, 0},
                                 {0xAC00, 16, 4, 14, 14, 0, 1, 1},
                                 {'B', 32, 10, 8, 12, 0, 1, 0}};
    int64_t glyphCountField = -1;  // -1: the number of glyphs
    int64_t pageCountField = -1;

    // Table offsets, in the file's order.
    uint32_t widthTable() const { return 24; }
    uint32_t heightTable() const { return widthTable() + 4 * pages; }
    uint32_t codeTable() const { return heightTable() + 4 * pages; }
    uint32_t glyphTable() const { return (codeTable() + 2 * uint32_t(glyphs.size()) + 3) & ~3u; }

    Bytes bytes() const {
        Bytes out(4, 0);
        putU16(out, pageCountField >= 0 ? uint32_t(pageCountField) : pages);
        putU16(out, glyphCountField >= 0 ? uint32_t(glyphCountField) : uint32_t(glyphs.size()));
        putU32(out, widthTable());
        putU32(out, heightTable());
        putU32(out, codeTable());
        putU32(out, glyphTable());
        for (uint32_t p = 0; p < pages; ++p) putU32(out, 256);
        for (uint32_t p = 0; p < pages; ++p) putU32(out, 256);
        for (const Glyph& glyph : glyphs) putU16(out, glyph.code);
        out.resize(glyphTable(), 0);
        for (const Glyph& glyph : glyphs)
            for (int32_t value : {glyph.x, glyph.y, glyph.width, glyph.height, glyph.x_offset, glyph.spacing, glyph.page})
                putU32(out, uint32_t(value));
        return out;
    }
};

template <typename Change>
Bytes definitionWith(Change change) {
    Definition d;
    change(d);
    return d.bytes();
}

// The code units the font must have afterwards; nullopt where any set is
// right (garbage), as long as every glyph it has can be drawn.
using Codes = std::optional<std::set<uint16_t>>;
using FontRow = Row<Codes>;
const std::set<uint16_t> kAll = {'A', 0xAC00, 'B'};
const std::set<uint16_t> kNone = {};

const std::vector<FontRow> kFontRows = {
    {"empty", [] { return Bytes(); }, {kNone}},
    {"one_byte", [] { return Bytes(1, 0); }, {kNone}},
    {"cut_in_the_header", [] { return truncated(Definition().bytes(), 10); }, {kNone}},
    {"cut_in_the_page_sizes", [] { return truncated(Definition().bytes(), Definition().heightTable() + 4); }, {kNone}},
    {"cut_in_the_codes", [] { return truncated(Definition().bytes(), Definition().codeTable() + 3); }, {kNone}},
    {"cut_in_the_last_record", [] { Bytes b = Definition().bytes(); return truncated(b, b.size() - 1); },
     {std::set<uint16_t>{'A', 0xAC00}}},
    {"cut_after_the_first_record", [] { return truncated(Definition().bytes(), Definition().glyphTable() + 28); },
     {std::set<uint16_t>{'A'}}},
    {"whole", [] { return Definition().bytes(); }, {kAll}},
    {"garbage", [] { return garbage(3000, 6); }, {std::nullopt}},
    {"no_pages", [] { return definitionWith([](Definition& d) { d.pageCountField = 0; }); }, {kNone}},
    {"one_page_fewer", [] { return definitionWith([](Definition& d) { d.pageCountField = 1; }); },
     {std::set<uint16_t>{'A', 'B'}}},
    {"page_count_oversized", [] { return definitionWith([](Definition& d) { d.pageCountField = 0xFFFF; }); },
     {std::nullopt}},
    {"glyph_count_oversized", [] { return definitionWith([](Definition& d) { d.glyphCountField = 0xFFFF; }); },
     {std::nullopt}},
    {"glyph_count_one_too_many", [] { return definitionWith([](Definition& d) { d.glyphCountField = 4; }); },
     {std::nullopt}},
    {"tables_beyond_the_end", [] { return patchedU32(patchedU32(Definition().bytes(), 16, 0xFFFFFFF0u), 20, 0xFFFFFFFCu); },
     {kNone}},
    {"glyph_on_a_page_beyond_the_count", [] { return definitionWith([](Definition& d) { d.glyphs[1].page = 2; }); },
     {std::set<uint16_t>{'A', 'B'}}},
    {"glyph_on_a_negative_page", [] { return definitionWith([](Definition& d) { d.glyphs[0].page = -1; }); },
     {std::set<uint16_t>{0xAC00, 'B'}}},
    {"glyph_of_negative_width", [] { return definitionWith([](Definition& d) { d.glyphs[2].width = -5; }); },
     {std::set<uint16_t>{'A', 0xAC00}}},
    {"latin_cell_too_wide_to_widen", [] { return definitionWith([](Definition& d) { d.glyphs[0].width = INT32_MAX; }); },
     {std::set<uint16_t>{0xAC00, 'B'}}},
    {"latin_cell_at_the_leftmost_column", [] { return definitionWith([](Definition& d) { d.glyphs[2].x = INT32_MIN; }); },
     {std::set<uint16_t>{'A', 0xAC00}}},
    {"glyph_on_a_page_without_a_texture", [] { return definitionWith([](Definition& d) {
         d.pages = 14;
         d.glyphs[1].page = 13;
     }); }, {std::set<uint16_t>{'A', 'B'}}},
    {"thirteen_pages_all_drawable", [] { return definitionWith([](Definition& d) {
         d.pages = 13;
         d.glyphs[1].page = 12;
     }); }, {kAll}},
    {"same_code_twice", [] { return definitionWith([](Definition& d) { d.glyphs[2].code = 'A'; }); },
     {std::set<uint16_t>{'A', 0xAC00}}},
};

class FontMatrix : public ::testing::TestWithParam<FontRow> {};

TEST_P(FontMatrix, KeepsTheGlyphsThatCanBeDrawn) {
    const FontRow& row = GetParam();
    const Bytes bytes = row.make();
    FontDefinition font;
    clear_font_definition(&font);
    ASSERT_TRUE(parse_font_definition(bytes.data(), bytes.size(), &font));
    ASSERT_NE(font.glyph_map, nullptr);
    std::set<uint16_t> present;
    for (uint32_t unit = 0; unit < 65536; ++unit) {
        const uint16_t index = font.glyph_map[unit];
        if (index == kNoGlyph) continue;
        present.insert(uint16_t(unit));
        ASSERT_LT(index, font.glyph_count);
        const GlyphRecord& glyph = font.glyphs[index];
        EXPECT_GE(glyph.page, 0);
        EXPECT_LT(glyph.page, int32_t(font.page_count));
        EXPECT_LT(glyph.page, kFontMaxPages);
        EXPECT_GE(glyph.width, 0);
        EXPECT_GE(glyph.height, 0);
    }
    if (row.expected) {
        EXPECT_EQ(present, *row.expected);
    }
    if (row.name == "same_code_twice") {
        EXPECT_EQ(font.glyph_map['A'], 2) << "the later glyph wins";
    }
    free_font_definition(&font);
}

INSTANTIATE_TEST_SUITE_P(Rows, FontMatrix, ::testing::ValuesIn(kFontRows), rowName<Codes>);

constexpr size_t kPagePixels = 256 * 256;

Bytes pageBytes(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(1 + i % 251);
    return bytes;
}

// Glyph pages (256 x 256 RGB, alpha from red): the file's bytes as far as they
// go, a part of a pixel included, then black and transparent.
TEST_F(ScratchTest, GlyphPagesReadWhatTheFileHoldsAndBlackAfter) {
    for (size_t size : {size_t(0), size_t(1), size_t(3), kPagePixels * 3 / 2, kPagePixels * 3 - 1, kPagePixels * 3,
                        kPagePixels * 4}) {
        SCOPED_TRACE(size);
        const Bytes bytes = pageBytes(size);
        writeFile("data/fonts/test_0.raw", bytes);
        std::vector<uint8_t> rgba(kPagePixels * 4, 0x77), expected(kPagePixels * 4, 0);
        for (size_t i = 0; i < kPagePixels * 4; ++i) {
            const size_t at = i / 4 * 3 + (i % 4 == 3 ? 0 : i % 4);
            if (at < size) expected[i] = bytes[at];
        }
        EXPECT_TRUE(convert_raw_rgb("data/fonts/test_0.raw", rgba.data(), 256, 256, kAlphaFromRed));
        ASSERT_TRUE(rgba == expected);
    }
}

TEST_F(ScratchTest, AMissingPageIsTransparentAndBadSizesAreNotRead) {
    std::vector<uint8_t> rgba(kPagePixels * 4, 0x77);
    EXPECT_FALSE(convert_raw_rgb("data/fonts/none_0.raw", rgba.data(), 256, 256, kAlphaFromRed));
    for (uint8_t byte : rgba) ASSERT_EQ(byte, 0);
    writeFile("page.raw", pageBytes(300));
    std::fill(rgba.begin(), rgba.end(), 0x77);
    EXPECT_FALSE(convert_raw_rgb("page.raw", rgba.data(), 0, 256, kAlphaFromRed));
    EXPECT_FALSE(convert_raw_rgb("page.raw", rgba.data(), 256, -1, kAlphaFromRed));
    EXPECT_FALSE(convert_raw_rgb("page.raw", rgba.data(), 65536, 65536, kAlphaFromRed));
    for (uint8_t byte : rgba) ASSERT_EQ(byte, 0x77) << "nothing written";
}

}  // namespace
