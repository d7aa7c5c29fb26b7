// The font baked from a real TrueType file, loaded through the file system
// and drawn into an off-screen window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "font/gl.h"
#include "font/texture.h"
#include "font/unicode_font.h"
#include "kit/font_baker/font_baker.h"
#include "tests/font/gl_test_context.h"

namespace {

constexpr int kW = GlTestContext::kWidth;
constexpr int kH = GlTestContext::kHeight;

std::string font_file() {
    const char* batang = "/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf";
    if (std::filesystem::exists(batang)) return batang;
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

struct Image {
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * kW + x) * 3]; }
    bool ink(int x, int y) const {
        const uint8_t* p = at(x, y);
        return p[0] || p[1] || p[2];
    }
    int ink_count() const {
        int count = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) count += ink(x, y);
        return count;
    }
};

// Runs of columns that hold ink, [first, last], merging runs closer than `join`.
std::vector<std::pair<int, int>> ink_runs(const Image& image, int join) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < kW; ++x) {
        bool any = false;
        for (int y = 0; y < kH && !any; ++y) any = image.ink(x, y);
        if (!any) continue;
        if (!runs.empty() && x - runs.back().second <= join) runs.back().second = x;
        else runs.push_back({x, x});
    }
    return runs;
}

class FontText : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gl_ = new GlTestContext;
        if (!gl_->ok()) return;
        directory_ = new ScratchDirectory;
        baked_ = new BakedFont;
        std::string error;
        baked_ok_ = bake_font(font_file(), 20, baked_, &error) &&
                    write_baked_font(*baked_, directory_->path() + "/data/fonts", "batang", &error);
        bake_error_ = error;
        glGenTextures(16, texture_ids_);
        if (baked_ok_) font_ = new UnicodeFont("batang", view());
    }
    static void TearDownTestSuite() {
        delete font_;
        font_ = nullptr;
        delete baked_;
        delete directory_;
        delete gl_;
    }
    void SetUp() override {
        ASSERT_TRUE(gl_->ok()) << gl_->error();
        ASSERT_TRUE(baked_ok_) << bake_error_;
        ASSERT_NE(font_, nullptr);
        glDisable(GL_BLEND);
    }

    static FontView view() { return FontView{&client_width_, &client_height_, texture_ids_}; }
    static const FontDefinition& definition() { return *font_->definition; }

    template <typename Draw>
    static Image render(Draw draw, float red = 0, float green = 0, float blue = 0) {
        glClearColor(red, green, blue, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        draw();
        return Image{gl_->read_pixels()};
    }
    static Image render_text(const char16_t* text, float x, float y, float size = 1.4f, uint32_t colour = 0xFFFFFF,
                             int32_t alignment = 0, UnicodeFont* font = nullptr) {
        return render([&] { (font ? font : font_)->draw_text(text, x, y, size, colour, alignment); });
    }

    // The font's own advance for `code`, as the baker measured it.
    static int font_advance(char16_t code) {
        for (const BakedGlyph& glyph : baked_->glyphs)
            if (glyph.code == code) return glyph.advance;
        ADD_FAILURE() << "no baked glyph " << int(code);
        return 0;
    }
    // First and last columns (or rows) of a loaded glyph's cell that pass the alpha test.
    static std::pair<int, int> cell_ink(const GlyphRecord& cell, bool rows = false) {
        const std::vector<uint8_t>& page = baked_->pages[size_t(cell.page)];
        int first = -1, last = -1;
        for (int column = 0; column < cell.width; ++column)
            for (int row = 0; row < cell.height; ++row) {
                const int px = cell.x + column, py = cell.y + row;
                if (px < 0 || py < 0 || px >= kBakedPageSize || py >= kBakedPageSize) continue;
                if (page[(size_t(py) * kBakedPageSize + px) * 3] > 127) {
                    if (first < 0 || (rows && row < first)) first = rows ? row : column;
                    last = std::max(last, rows ? row : column);
                }
            }
        return {first, last};
    }

    inline static GlTestContext* gl_ = nullptr;
    inline static ScratchDirectory* directory_ = nullptr;
    inline static BakedFont* baked_ = nullptr;
    inline static bool baked_ok_ = false;
    inline static std::string bake_error_;
    inline static uint32_t texture_ids_[16];
    inline static float client_width_ = float(kW);
    inline static float client_height_ = float(kH);
    inline static UnicodeFont* font_ = nullptr;
};

}  // namespace

TEST_F(FontText, LoadedDefinitionIsTheBakedFontWithLatinCellsWidened) {
    const FontDefinition& f = definition();
    ASSERT_EQ(f.glyph_count, baked_->glyphs.size());
    ASSERT_EQ(f.page_count, baked_->pages.size());
    EXPECT_GE(f.page_count, 2) << "the 20-pixel font is expected to span pages";
    float top = 2147483648.0f;
    for (size_t j = 0; j < baked_->glyphs.size(); ++j) {
        const BakedGlyph& baked = baked_->glyphs[j];
        const GlyphRecord& loaded = f.glyphs[j];
        ASSERT_EQ(f.glyph_map[baked.code], j);
        const int grow = baked.code < 0xFF ? 1 : 0;
        EXPECT_EQ(loaded.x, baked.record.x - grow);
        EXPECT_EQ(loaded.y, baked.record.y);
        EXPECT_EQ(loaded.width, baked.record.width + 4 * grow);
        EXPECT_EQ(loaded.height, baked.record.height + 2 * grow);
        EXPECT_EQ(loaded.x_offset, baked.record.x_offset - grow);
        EXPECT_EQ(loaded.spacing, baked.record.spacing - grow);
        if (loaded.width != 0 && float(loaded.y) < top) top = float(loaded.y);
    }
    EXPECT_EQ(f.top, top);
    EXPECT_EQ(f.inv_page_width[0], 1.0f / 256.0f);
    // Every code unit of U+0020..U+00FE has a glyph; the controls between don't.
    for (char16_t code = 0x20; code <= 0xFE; ++code)
        EXPECT_EQ(f.glyph_map[code] != kNoGlyph, code < 0x7F || code >= 0xA0) << int(code);
}

TEST_F(FontText, WidenedLatinCellsNeverReachAnotherGlyph) {
    // Every loaded cell, grown by one texel for linear filtering, holds ink of
    // its own glyph only.
    const FontDefinition& f = definition();
    for (size_t j = 0; j < f.glyph_count; ++j) {
        const GlyphRecord& a = f.glyphs[j];
        for (size_t k = 0; k < f.glyph_count; ++k) {
            if (k == j) continue;
            const BakedGlyph& b = baked_->glyphs[k];
            if (b.record.page != a.page || b.record.width == 0) continue;
            const bool apart = b.record.x >= a.x + a.width + 1 || b.record.x + b.record.width <= a.x - 1 ||
                               b.record.y >= a.y + a.height + 1 || b.record.y + b.record.height <= a.y - 1;
            ASSERT_TRUE(apart) << "glyph " << j << " reaches glyph " << k;
        }
        ASSERT_GE(a.x - 1, 0);
        ASSERT_LE(a.x + a.width + 1, kBakedPageSize);
        ASSERT_LE(a.y + a.height + 1, kBakedPageSize);
    }
}

TEST_F(FontText, WidthIsTheFontsAdvancesTimesSize) {
    const std::u16string text = u"\u00c9t\u00e9 \u00e0 Velandora \u2014 100 % pr\u00eat";
    const float width = font_->draw_text(text.c_str(), 10, 100, 1.4f, 0xFFFFFF, 0);
    // The baker gives back the widening and the 16-pixel space: the pen runs
    // with the font's own advances.
    int advances = 0;
    for (char16_t code : text) advances += font_advance(code);
    EXPECT_FLOAT_EQ(font_->draw_text(text.c_str(), 10, 100, 1.0f, 0xFFFFFF, 0), float(advances));
    EXPECT_FLOAT_EQ(width, float(advances) * 1.4f);
}

TEST_F(FontText, GlyphsLandAtTheirPenPositionsAtSize14) {
    // Glyphs from both pages, kept apart by double spaces.
    std::u16string text = u"I  o  x  \u00e9  W  \u2014  \u00ff  \u00fe";
    const FontDefinition& f = definition();
    bool second_page = false;
    for (char16_t code : text)
        if (code != u' ') second_page |= f.glyphs[f.glyph_map[code]].page > 0;
    EXPECT_TRUE(second_page) << "the text should draw from a second page";

    const float x = 40.0f, l = 1.4f;
    const Image image = render_text(text.c_str(), x, 300, l);
    const std::vector<std::pair<int, int>> runs = ink_runs(image, 2);
    // The expected ink of each glyph: pen position, then its first and last inked texel columns.
    std::vector<std::pair<float, float>> expected;
    float pen = 0;
    for (char16_t code : text) {
        if (code == u' ') pen += 16;
        const GlyphRecord& g = f.glyphs[f.glyph_map[code]];
        if (code != u' ') {
            const float left = (x - 0.5f) + float(int32_t(pen + float(g.x_offset))) * l;
            const std::pair<int, int> ink = cell_ink(g);
            expected.push_back({left + float(ink.first) * l, left + float(ink.second + 1) * l});
        }
        pen += float(g.x_offset + g.width + g.spacing);
    }
    ASSERT_EQ(runs.size(), expected.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_NEAR(float(runs[i].first), expected[i].first, 1.5f) << "glyph " << i;
        EXPECT_NEAR(float(runs[i].second + 1), expected[i].second, 1.5f) << "glyph " << i;
    }
}

TEST_F(FontText, CellsAreDrawnAtTheLineTopAndScaled) {
    const FontDefinition& f = definition();
    const GlyphRecord& g = f.glyphs[f.glyph_map[u'I']];
    const float y = 200.0f, l = 1.4f;
    const Image image = render_text(u"I", 100, y, l);
    const float tallest = float(g.height);
    const float top = y + (tallest - (tallest - f.top) * l - 1.0f) / 2.0f;
    const auto [first_row, last_row] = cell_ink(g, true);
    int drawn_first = -1, drawn_last = -1;
    for (int py = 0; py < kH; ++py)
        for (int px = 0; px < kW; ++px)
            if (image.ink(px, py)) {
                if (drawn_first < 0) drawn_first = py;
                drawn_last = py;
            }
    EXPECT_NEAR(float(drawn_first), top + float(first_row) * l, 1.5f);
    EXPECT_NEAR(float(drawn_last + 1), top + float(last_row + 1) * l, 1.5f);
}

TEST_F(FontText, ShadowSitsOnePixelRightAndDown) {
    const char16_t* caption = u"Velandora \u00e0 l'aube";
    const Image text = render_text(caption, 10, 640);
    const Image shifted = render_text(caption, 11, 641);
    ASSERT_GT(text.ink_count(), 100);
    for (int y = 1; y < kH; ++y)
        for (int x = 1; x < kW; ++x) ASSERT_EQ(text.ink(x - 1, y - 1), shifted.ink(x, y)) << x << "," << y;

    // As the show draws it: black shadow, then white text, over grey.
    const Image both = render(
        [&] {
            font_->draw_text(caption, 11, 641, 1.4f, 0x000000, 0);
            font_->draw_text(caption, 10, 640, 1.4f, 0xFFFFFFFF, 0);
        },
        0.5f, 0.5f, 0.5f);
    int dark = 0, light = 0;
    for (int y = 1; y < kH; ++y)
        for (int x = 1; x < kW; ++x) {
            const uint8_t value = both.at(x, y)[0];
            if (value < 120) {
                ++dark;
                ASSERT_TRUE(text.ink(x - 1, y - 1)) << "shadow pixel away from the text at " << x << "," << y;
            }
            if (value > 136) ++light;
        }
    EXPECT_GT(dark, 20);
    EXPECT_GT(light, 100);
}

TEST_F(FontText, ColourModulatesWhiteGlyphs) {
    const Image green = render_text(u"Velandora", 10, 100, 1.4f, 0xFF00FF00);
    const Image also_green = render_text(u"Velandora", 10, 100, 1.4f, 0x0000FF00);
    EXPECT_EQ(green.rgb, also_green.rgb);  // the top byte is ignored
    int inked = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (green.ink(x, y)) {
                ++inked;
                ASSERT_EQ(green.at(x, y)[0], 0);
                ASSERT_EQ(green.at(x, y)[2], 0);
            }
    EXPECT_GT(inked, 100);
}

TEST_F(FontText, Alignments) {
    const char16_t* text = u"Pr\u00eat \u00e0 partir";
    const float width = font_->draw_text(text, 0, 0, 1.4f, 0xFFFFFF, 0);
    ASSERT_GT(width, 50.0f);
    const auto first_run = [](const Image& image) { return ink_runs(image, 1000).front(); };
    const std::pair<int, int> left = first_run(render_text(text, 300, 200, 1.4f, 0xFFFFFF, 0));
    const std::pair<int, int> centred = first_run(render_text(text, 300 + width / 2, 200, 1.4f, 0xFFFFFF, 1));
    const std::pair<int, int> right = first_run(render_text(text, 300 + width, 200, 1.4f, 0xFFFFFF, 2));
    for (const auto& run : {centred, right}) {
        EXPECT_NEAR(run.first, left.first, 1);
        EXPECT_NEAR(run.second, left.second, 1);
    }
    EXPECT_FLOAT_EQ(font_->draw_text(text, 300, 200, 1.4f, 0xFFFFFF, 1), width);
    // Any other alignment starts at column 0 with no half-pixel shift: as
    // alignment 0 at x = 0.5.
    const Image at_zero = render_text(text, 0.5f, 200, 1.4f, 0xFFFFFF, 0);
    EXPECT_EQ(render_text(text, 700, 200, 1.4f, 0xFFFFFF, 3).rgb, at_zero.rgb);
    EXPECT_EQ(render_text(text, -50, 200, 1.4f, 0xFFFFFF, -1).rgb, at_zero.rgb);
}

TEST_F(FontText, ControlUnitsAndMissingGlyphs) {
    const Image plain = render_text(u"ABC", 50, 100);
    const float plain_width = font_->draw_text(u"ABC", 50, 100, 1.4f, 0xFFFFFF, 0);
    // An escape and its 8 units, U+0002, line breaks and a glyph the font lacks: nothing.
    for (const char16_t* text : {u"A\u0001FF00ff00BC", u"A\u0002B\u0002C", u"A\r\nB\u4e00C\u0002", u"\u0001xxxxxxxxABC"}) {
        EXPECT_FLOAT_EQ(font_->draw_text(text, 50, 100, 1.4f, 0xFFFFFF, 0), plain_width);
        EXPECT_EQ(render_text(text, 50, 100).rgb, plain.rgb);
    }
    // U+0003 is a space.
    EXPECT_EQ(render_text(u"A\u0003B", 50, 100).rgb, render_text(u"A B", 50, 100).rgb);
    EXPECT_FLOAT_EQ(font_->draw_text(u"\u0003", 0, 0, 1.0f, 0, 0), float(font_advance(u' ')));
    // A text of only an escape sets the state and colour but draws nothing.
    glDisable(GL_BLEND);
    glColor4f(0.2f, 0.2f, 0.2f, 0.2f);
    const Image escape = render([&] {
        EXPECT_EQ(font_->draw_text(u"\u000100ff00ff", 50, 100, 1.4f, 0x336699, 0), 0.0f);
    });
    EXPECT_EQ(escape.ink_count(), 0);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], float(0x33) / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], float(0x99) / 255.0f);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(uint32_t(bound), texture_ids_[3]);
}

TEST_F(FontText, EmptyTextChangesNothing) {
    glDisable(GL_BLEND);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(font_->draw_text(u"", 10, 10, 1.4f, 0xFFFFFF, 0), 0.0f);
    EXPECT_EQ(font_->draw_text(nullptr, 10, 10, 1.4f, 0xFFFFFF, 0), 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
}

TEST_F(FontText, FontWithoutGlyphs) {
    BakedFont empty;
    empty.pages.push_back(baked_->pages[0]);
    std::string error;
    ASSERT_TRUE(write_baked_font(empty, directory_->path() + "/data/fonts", "empty", &error)) << error;
    UnicodeFont font("empty", view());
    EXPECT_EQ(font.definition->top, 2147483648.0f);
    EXPECT_FLOAT_EQ(font.draw_text(u"a b", 10, 10, 1.4f, 0xFFFFFF, 0), 16.0f * 1.4f);
    EXPECT_EQ(render_text(u"a b", 10, 100, 1.4f, 0xFFFFFF, 0, &font).ink_count(), 0);
}

TEST_F(FontText, ElevenPagesLoadIntoTexturesOfTheirOwn) {
    BakedFont many;
    for (int page = 0; page < 11; ++page) {
        many.pages.emplace_back(size_t(kBakedPageSize) * kBakedPageSize * 3, uint8_t(10 + 20 * page));
        many.glyphs.push_back({uint16_t(u'a' + page), GlyphRecord{2, 1, 4, 4, 0, 0, page}, 4});
    }
    std::string error;
    ASSERT_TRUE(write_baked_font(many, directory_->path() + "/data/fonts", "many", &error)) << error;
    ASSERT_TRUE(std::filesystem::exists(directory_->path() + "/data/fonts/many_10.raw"));
    UnicodeFont font("many", view());
    for (int page = 0; page < 11; ++page) {
        std::vector<uint8_t> rgba(size_t(kBakedPageSize) * kBakedPageSize * 4);
        glBindTexture(GL_TEXTURE_2D, texture_ids_[3 + page]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        const uint8_t value = uint8_t(10 + 20 * page);
        EXPECT_EQ(rgba[0], value) << "page " << page;
        EXPECT_EQ(rgba[3], value) << "page " << page;  // alpha from red
        EXPECT_EQ(rgba.back(), value) << "page " << page;
    }
    // Glyph 'k' comes from page 10: coverage 210 passes the alpha test, so it draws.
    EXPECT_GT(render_text(u"k", 100, 100, 1.4f, 0xFFFFFF, 0, &font).ink_count(), 0);
    // Page 0 holds coverage 10, below the alpha test: nothing.
    EXPECT_EQ(render_text(u"a", 100, 100, 1.4f, 0xFFFFFF, 0, &font).ink_count(), 0);
    font_->load_pages(String("data/fonts/batang"));
}

// A font without pages, or whose page names would pass 127 bytes with the
// terminator ("data/fonts/" + 111 characters + "_0.raw"), leaves the font
// texture alone; one character shorter loads.
TEST_F(FontText, PagesThatCannotLoadLeaveTheFontTextureAlone) {
    const std::vector<uint8_t> marker(4 * 4, 0x5A);
    BakedFont one;
    one.pages.push_back(baked_->pages[0]);
    std::string error;
    for (const std::string& name : {std::string("none"), std::string(111, 'n'), std::string(110, 'n')}) {
        SCOPED_TRACE(name.size());
        upload_rgba_texture(texture_ids_[3], marker.data(), 2, 2);
        ASSERT_TRUE(write_baked_font(name == "none" ? BakedFont() : one, directory_->path() + "/data/fonts", name, &error));
        UnicodeFont font(name.c_str(), view());
        EXPECT_EQ(font.definition->page_count, name == "none" ? 0 : 1);
        glBindTexture(GL_TEXTURE_2D, texture_ids_[3]);
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, name.size() == 110 ? 256 : 2);
        if (width != 2) continue;
        std::vector<uint8_t> rgba(4 * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        EXPECT_EQ(rgba, marker);
    }
    font_->load_pages(String("data/fonts/batang"));
}

TEST_F(FontText, LongTextIsCutAt1024Units) {
    const float advance = float(font_advance(u'i'));
    const std::u16string exact(1024, u'i');
    std::u16string longer = exact + std::u16string(476, u'W');
    EXPECT_FLOAT_EQ(font_->draw_text(exact.c_str(), 0, 100, 1.0f, 0xFFFFFF, 0), 1024 * advance);
    EXPECT_FLOAT_EQ(font_->draw_text(longer.c_str(), 0, 100, 1.0f, 0xFFFFFF, 0), 1024 * advance);
    // Right-aligned at the window's edge, the last glyphs drawn are the 1,024th 'i's.
    EXPECT_EQ(render_text(longer.c_str(), 1000, 100, 1.4f, 0xFFFFFF, 2).rgb,
              render_text(exact.c_str(), 1000, 100, 1.4f, 0xFFFFFF, 2).rgb);
}

TEST_F(FontText, DamagedDefinitionsDrawOnlyWhatWasRead) {
    std::vector<uint8_t> bytes = encode_font_definition(*baked_);
    const size_t glyph_table = bytes[20] | (bytes[21] << 8) | (bytes[22] << 16) | (size_t(bytes[23]) << 24);
    // Glyph 0 on a page that doesn't exist, glyph 1 with a negative width,
    // and the file cut inside the record of glyph 5.
    bytes[glyph_table + 24] = 99;
    bytes[glyph_table + 28 + 8 + 3] = 0x80;
    bytes.resize(glyph_table + 28 * 5 + 10);
    directory_->write("data/fonts/damaged.def", bytes);
    for (size_t page = 0; page < baked_->pages.size(); ++page)
        directory_->write("data/fonts/damaged_" + std::to_string(page) + ".raw", baked_->pages[page]);
    UnicodeFont font("damaged", view());
    std::u16string all;
    for (const BakedGlyph& glyph : baked_->glyphs) all += glyph.code == u' ' ? u'x' : glyph.code;
    const float width = font.draw_text(all.c_str(), 0, 100, 1.0f, 0xFFFFFF, 0);
    // Only glyphs 2, 3 and 4 are whole and sound.
    float expected = 0;
    for (size_t j = 2; j < 5; ++j) expected += float(baked_->glyphs[j].advance);
    if (baked_->glyphs[2].code == u' ' || baked_->glyphs[3].code == u' ' || baked_->glyphs[4].code == u' ')
        GTEST_SKIP() << "unexpected glyph order";
    EXPECT_FLOAT_EQ(width, expected);
    EXPECT_GT(render_text(all.c_str(), 10, 100, 1.4f, 0xFFFFFF, 0, &font).ink_count(), 0);
}

TEST_F(FontText, ResizedClientAreaIsSeenByTheNextCall) {
    const Image full = render_text(u"Velandora", 0.5f, 100, 1.0f);
    client_width_ = kW / 2.0f;
    const Image half = render_text(u"Velandora", 0.5f, 100, 1.0f);
    client_width_ = float(kW);
    // Against half the width every pixel position lands twice as far right.
    const auto full_runs = ink_runs(full, 1000), half_runs = ink_runs(half, 1000);
    ASSERT_EQ(full_runs.size(), 1u);
    ASSERT_EQ(half_runs.size(), 1u);
    EXPECT_NEAR(half_runs[0].second + 1, 2 * (full_runs[0].second + 1), 3);
}

TEST(FontTextDeath, MissingDefinitionIsAFatalAssertion) {
    ScratchDirectory empty_directory;
    uint32_t ids[16] = {};
    float width = 1024, height = 768;
    EXPECT_EXIT(UnicodeFont("nowhere", FontView{&width, &height, ids}), ::testing::ExitedWithCode(666 & 0xFF),
                "unicode_font\\(44\\) : Assertion failed!");
}
