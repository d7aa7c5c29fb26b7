// Font definition files: the fields are read wherever the header's offsets
// point, the Latin cells are widened, and every glyph that was not read whole
// or cannot be drawn is left out as a missing glyph.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "font/unicode_font.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TestGlyph {
    uint16_t code;
    GlyphRecord record;
};

void put(Bytes& out, size_t at, uint32_t value, size_t size = 4) {
    if (out.size() < at + size) out.resize(at + size);
    for (size_t i = 0; i < size; ++i) out[at + i] = uint8_t(value >> (8 * i));
}

// A definition file: the header, then the tables in `order` (widths, heights,
// codes, records), each after a gap, so nothing lies where the one before ends.
Bytes definition(const std::vector<uint32_t>& widths, const std::vector<uint32_t>& heights,
                 const std::vector<TestGlyph>& glyphs, const std::string& order = "whcr") {
    Bytes out(24);
    put(out, 4, uint32_t(widths.size()), 2);
    put(out, 6, uint32_t(glyphs.size()), 2);
    for (char table : order) {
        const size_t at = out.size() + 3;
        put(out, 8 + 4 * std::string("whcr").find(table), uint32_t(at));
        for (size_t i = 0; table == 'w' && i < widths.size(); ++i) put(out, at + 4 * i, widths[i]);
        for (size_t i = 0; table == 'h' && i < heights.size(); ++i) put(out, at + 4 * i, heights[i]);
        for (size_t j = 0; table == 'c' && j < glyphs.size(); ++j) put(out, at + 2 * j, glyphs[j].code, 2);
        for (size_t j = 0; table == 'r' && j < glyphs.size(); ++j) {
            const GlyphRecord& r = glyphs[j].record;
            const int32_t fields[7] = {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page};
            for (size_t f = 0; f < 7; ++f) put(out, at + 28 * j + 4 * f, uint32_t(fields[f]));
        }
    }
    return out;
}

// The table's font: two 256 x 256 pages (or `pages`), three glyphs, changed by `change`.
Bytes font(void (*change)(std::vector<TestGlyph>&) = nullptr, size_t pages = 2, const char* order = "whcr") {
    std::vector<TestGlyph> glyphs = {
        {'A', {0, 10, 8, 12, 0, 1, 0}}, {0xAC00, {16, 4, 14, 14, 0, 1, 1}}, {'B', {32, 10, 8, 12, 0, 1, 0}}};
    if (change) change(glyphs);
    return definition(std::vector<uint32_t>(pages, 256), std::vector<uint32_t>(pages, 256), glyphs, order);
}

Bytes cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes patched(Bytes bytes, size_t at, uint32_t value, size_t size = 4) {
    put(bytes, at, value, size);
    return bytes;
}

// Code unit to glyph index.
using Mapped = std::map<uint16_t, uint16_t>;
const Mapped kAll = {{'A', 0}, {0xAC00, 1}, {'B', 2}};

class Definition {
public:
    Definition() { clear_font_definition(&font); }
    ~Definition() { free_font_definition(&font); }
    bool parse(const Bytes& bytes) { return parse_font_definition(bytes.data(), bytes.size(), &font); }
    // Every mapped glyph, each of which can be drawn: its page has a texture
    // and its record makes a cell.
    Mapped mapped() const {
        Mapped glyphs;
        for (uint32_t code = 0; code < 65536; ++code) {
            const uint16_t g = font.glyph_map[code];
            if (g == kNoGlyph) continue;
            glyphs[uint16_t(code)] = g;
            EXPECT_LT(g, font.glyph_count);
            if (g >= font.glyph_count) break;
            const GlyphRecord& r = font.glyphs[g];
            EXPECT_TRUE(r.page >= 0 && r.page < font.page_count && r.page < kFontMaxPages) << code;
            EXPECT_TRUE(r.width >= 0 && r.height >= 0) << code;
            EXPECT_EQ(font.glyph_code[g], code);
        }
        return glyphs;
    }
    FontDefinition font;
};

std::vector<int32_t> fields(const GlyphRecord& r) {
    return {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page};
}

}  // namespace

// Tables in reverse order with gaps; a page of width 0; Latin cells (below
// U+00FF) grow 1 pixel left, 3 right and 2 down for linear filtering; the top
// is the smallest y of a cell with width, a widened empty Latin cell included.
TEST(FontDefinition, ReadsTheFieldsWhereverTheOffsetsPoint) {
    Definition d;
    ASSERT_TRUE(d.parse(definition({256, 0}, {256, 3},
                                   {{0x4E00, {10, 20, 12, 14, 2, 3, 1}},
                                    {0x00FE, {10, 6, 8, 16, 1, 2, 0}},
                                    {0x00FF, {1, 4, 3, 4, -5, 6, 0}},
                                    {0x0000, {30, 3, 0, 16, 1, 2, 0}},
                                    {0x2000, {40, 1, 0, 5, 0, 0, 0}}},
                                   "rchw")));
    const FontDefinition& f = d.font;
    EXPECT_EQ(f.page_count, 2);
    EXPECT_EQ(f.page_height[1], 3u);
    EXPECT_EQ(f.inv_page_width[0], 1.0f / 256.0f);
    EXPECT_TRUE(std::isinf(f.inv_page_width[1]));
    EXPECT_EQ(f.inv_page_height[1], 1.0f / 3.0f);
    EXPECT_EQ(d.mapped(), (Mapped{{0x4E00, 0}, {0x00FE, 1}, {0x00FF, 2}, {0x0000, 3}, {0x2000, 4}}));
    EXPECT_EQ(fields(f.glyphs[0]), (std::vector<int32_t>{10, 20, 12, 14, 2, 3, 1}));
    EXPECT_EQ(fields(f.glyphs[1]), (std::vector<int32_t>{9, 6, 12, 18, 0, 1, 0}));
    EXPECT_EQ(fields(f.glyphs[2]), (std::vector<int32_t>{1, 4, 3, 4, -5, 6, 0}));
    EXPECT_EQ(f.glyphs[3].width, 4);
    EXPECT_EQ(f.glyphs[4].width, 0);
    EXPECT_EQ(f.scale, 1.0f);
    EXPECT_EQ(f.top, 3.0f);
    ASSERT_TRUE(d.parse(definition({256}, {256}, {})));
    EXPECT_EQ(d.font.top, 2147483648.0f);  // no cell at all
}

TEST(FontDefinition, KeepsOnlyTheGlyphsReadWholeThatCanBeDrawn) {
    const size_t whole = font().size();
    const struct {
        const char* name;
        Bytes bytes;
        Mapped mapped;
    } rows[] = {
        {"whole", font(), kAll},
        {"empty", Bytes(), {}},
        {"cut in the header", cut(font(), 10), {}},
        {"first record whole", cut(font(), whole - 2 * 28), {{'A', 0}}},
        {"last record one byte short", cut(font(), whole - 1), {{'A', 0}, {0xAC00, 1}}},
        {"last code one byte short", cut(font(nullptr, 2, "whrc"), whole - 1), {{'A', 0}, {0xAC00, 1}}},
        {"page sizes cut", cut(font(nullptr, 2, "chrw"), whole - 1), {{'A', 0}, {'B', 2}}},
        {"tables beyond the end", patched(patched(font(), 16, 0xFFFFFFF0u), 20, 0xFFFFFFFCu), {}},
        {"glyph count one too many", patched(font(), 6, 4, 2), kAll},
        {"counts far beyond the file", patched(patched(font(), 6, 0xFFFF, 2), 4, 0xFFFF, 2), kAll},
        {"page count one short", patched(font(), 4, 1, 2), {{'A', 0}, {'B', 2}}},
        {"negative page", font([](auto& g) { g[0].record.page = -1; }), {{0xAC00, 1}, {'B', 2}}},
        {"negative width", font([](auto& g) { g[0].record.width = -1; }), {{0xAC00, 1}, {'B', 2}}},
        {"negative height", font([](auto& g) { g[2].record.height = -5; }), {{'A', 0}, {0xAC00, 1}}},
        // A Latin cell that cannot grow; other cells do not grow, so any values do.
        {"Latin cell too wide", font([](auto& g) { g[0].record.width = INT32_MAX; }), {{0xAC00, 1}, {'B', 2}}},
        {"Latin cell at INT32_MIN", font([](auto& g) { g[2].record.x = INT32_MIN; }), {{'A', 0}, {0xAC00, 1}}},
        {"other cell at the limits", font([](auto& g) { g[1].record = {INT32_MIN, 4, INT32_MAX, 14, 0, 1, 1}; }), kAll},
        {"13 pages", font([](auto& g) { g[1].record.page = 12; }, 13), kAll},
        {"page 14 has no texture", font([](auto& g) { g[1].record.page = 13; }, 14), {{'A', 0}, {'B', 2}}},
        {"the later of two codes wins", font([](auto& g) { g[2].code = 'A'; }), {{'A', 2}, {0xAC00, 1}}},
    };
    Definition d;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(d.parse(row.bytes));
        EXPECT_EQ(d.mapped(), row.mapped);
    }
    // Whatever the file is cut to, every glyph mapped can be drawn (mapped() checks).
    const Bytes file = font();
    for (size_t length = 0; length < whole; ++length) {
        ASSERT_TRUE(d.parse(cut(file, length)));
        d.mapped();
    }
}
