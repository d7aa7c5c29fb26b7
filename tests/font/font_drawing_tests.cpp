// A font baked from a real TrueType file, written, loaded through the file
// system and drawn into an off-screen window; raw pages as textures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "font/gl.h"
#include "font/texture.h"
#include "font/unicode_font.h"
#include "kit/font_baker/font_baker.h"
#include "kit/render/offscreen_gl.h"
#include "tests/support/scratch_directory.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kW = 1024;
constexpr int kH = 768;

// key.raw with the colour key.
const Bytes kKeyed = {0, 0, 0, 0, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255};

bool ink(const RgbImage& image, int x, int y) {
    const uint8_t* p = image.pixel(x, y);
    return p[0] || p[1] || p[2];
}

// Runs of columns that hold ink, [first, last], merging runs closer than `join`.
std::vector<std::pair<int, int>> ink_runs(const RgbImage& image, int join) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < kW; ++x) {
        bool any = false;
        for (int y = 0; y < kH && !any; ++y) any = ink(image, x, y);
        if (!any) continue;
        if (!runs.empty() && x - runs.back().second <= join) runs.back().second = x;
        else runs.push_back({x, x});
    }
    return runs;
}

std::vector<int32_t> fields(const GlyphRecord& r) {
    return {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page};
}

class FontDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* batang = "/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf";
        const std::string file =
            std::filesystem::exists(batang) ? batang : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        directory_ = new ScratchDirectory;
        // Four pixels around the colour key, and a plain colour; and a file cut inside a pixel.
        directory_->write("key.raw", Bytes{255, 0, 127, 255, 0, 126, 254, 0, 127, 200, 10, 20});
        directory_->write("cut.raw", Bytes{255, 0, 127, 255, 0});
        baked_ = new BakedFont;
        gl_ = new OffscreenGl;
        if (!gl_->open(kW, kH, &error_) || !bake_font(file, 20, baked_, &error_) ||
            !write_baked_font(*baked_, "data/fonts", "batang", &error_))
            return;
        glGenTextures(16, texture_ids_);
        font_ = new UnicodeFont("batang", view());
    }
    static void TearDownTestSuite() {
        delete font_;
        delete baked_;
        delete directory_;
        delete gl_;
    }
    void SetUp() override {
        ASSERT_NE(font_, nullptr) << error_;
        glDisable(GL_BLEND);
    }

    static FontView view() { return FontView{&client_width_, &client_height_, texture_ids_}; }
    static const FontDefinition& definition() { return *font_->definition; }
    static const BakedGlyph& baked(char16_t code) {
        return baked_->glyphs[definition().glyph_map[code]];
    }

    template <typename Draw>
    static RgbImage render(Draw draw) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw();
        return gl_->read_pixels();
    }
    static RgbImage render_text(const char16_t* text, float x, float y, uint32_t colour = 0xFFFFFF,
                                int32_t alignment = 0, UnicodeFont* font = nullptr) {
        return render([&] { (font ? font : font_)->draw_text(text, x, y, 1.4f, colour, alignment); });
    }
    // First and last columns (or rows) of a baked glyph's cell whose coverage passes the alpha test.
    static std::pair<int, int> cell_ink(const GlyphRecord& cell, bool rows = false) {
        const Bytes& page = baked_->pages[size_t(cell.page)];
        int first = -1, last = -1;
        for (int column = 0; column < cell.width; ++column)
            for (int row = 0; row < cell.height; ++row)
                if (page[(size_t(cell.y + row) * kBakedPageSize + cell.x + column) * 3] > 127) {
                    const int at = rows ? row : column;
                    if (first < 0 || at < first) first = at;
                    last = std::max(last, at);
                }
        return {first, last};
    }
    static Bytes texture_image(int width, int height) {
        Bytes pixels(size_t(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    static GLint parameter(GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }
    // Writes `font` as data/fonts/NAME.* and loads it.
    static UnicodeFont* load(const BakedFont& font, const std::string& name) {
        std::string error;
        EXPECT_TRUE(write_baked_font(font, "data/fonts", name, &error)) << error;
        return new UnicodeFont(name.c_str(), view());
    }

    inline static OffscreenGl* gl_ = nullptr;
    inline static ScratchDirectory* directory_ = nullptr;
    inline static BakedFont* baked_ = nullptr;
    inline static std::string error_;
    inline static uint32_t texture_ids_[16];
    inline static float client_width_ = float(kW);
    inline static float client_height_ = float(kH);
    inline static UnicodeFont* font_ = nullptr;
};

}  // namespace

// The baker covers Latin-1 once per code, keeps its ink inside the cells,
// white, and leaves every cell a texel of room on each side for linear
// filtering; the loaded cells are the baked ones with the Latin cells widened
// (1 pixel left, 3 right, 2 down) and run with the font's own advances.
TEST_F(FontDrawing, LoadedFontIsTheBakedOneWithLatinCellsWidened) {
    const FontDefinition& f = definition();
    ASSERT_EQ(f.glyph_count, baked_->glyphs.size());
    ASSERT_EQ(f.page_count, baked_->pages.size());
    std::vector<std::vector<bool>> inside(baked_->pages.size(), std::vector<bool>(256 * 256));
    for (size_t j = 0; j < baked_->glyphs.size(); ++j) {
        const BakedGlyph& glyph = baked_->glyphs[j];
        const GlyphRecord& r = glyph.record;
        const GlyphRecord& loaded = f.glyphs[j];
        ASSERT_EQ(f.glyph_map[glyph.code], j) << "code baked twice: " << glyph.code;
        EXPECT_EQ(r.height, baked_->line_height);
        const int grow = glyph.code < 0xFF;
        EXPECT_EQ(fields(loaded), fields({r.x - grow, r.y, r.width + 4 * grow, r.height + 2 * grow,
                                          r.x_offset - grow, r.spacing - grow, r.page})) << glyph.code;
        EXPECT_EQ(loaded.x_offset + loaded.width + loaded.spacing + (glyph.code == u' ' ? 16 : 0), glyph.advance);
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x) inside[size_t(r.page)][size_t(y) * 256 + x] = true;
        for (const BakedGlyph& other : baked_->glyphs) {
            const GlyphRecord& b = other.record;
            if (&other == &glyph || b.page != loaded.page || b.width == 0) continue;
            ASSERT_TRUE(b.x >= loaded.x + loaded.width + 1 || b.x + b.width <= loaded.x - 1 ||
                        b.y >= loaded.y + loaded.height + 1 || b.y + b.height <= loaded.y - 1)
                << "glyph " << glyph.code << " reaches glyph " << other.code;
        }
        ASSERT_TRUE(loaded.x >= 1 && loaded.x + loaded.width + 1 <= 256 && loaded.y + loaded.height + 1 <= 256);
    }
    for (size_t page = 0; page < baked_->pages.size(); ++page) {
        const Bytes& pixels = baked_->pages[page];
        ASSERT_EQ(pixels.size(), size_t(256 * 256 * 3));
        for (size_t i = 0; i < 256 * 256; ++i) {
            ASSERT_TRUE(pixels[i * 3] == pixels[i * 3 + 1] && pixels[i * 3] == pixels[i * 3 + 2]) << i;
            ASSERT_TRUE(inside[page][i] || !pixels[i * 3]) << "ink outside every cell on page " << page;
        }
    }
    // Every code unit of U+0020..U+00FE has a glyph; the controls between don't.
    for (char16_t code = 0x20; code <= 0xFE; ++code)
        EXPECT_EQ(f.glyph_map[code] != kNoGlyph, code < 0x7F || code >= 0xA0) << int(code);
    EXPECT_NE(f.glyph_map[0x2014], kNoGlyph);
}

// At size 1.4 every glyph's ink lands where the font's own advances and ink
// put it, from both pages, on one line top; the width is the advances x 1.4.
// The colour modulates the white glyphs; its top byte is ignored.
TEST_F(FontDrawing, PlacesGlyphsByTheFontsOwnAdvances) {
    const std::u16string text = u"I  o  x  \u00e9  W  \u2014  \u00ff  \u00fe";
    const float x = 40.0f, y = 300.0f, l = 1.4f;
    const RgbImage image = render_text(text.c_str(), x, y);
    std::vector<std::pair<float, float>> columns;
    float pen = 0, tallest = 0, first_row = 1e9f, last_row = 0;
    bool second_page = false;
    for (char16_t code : text) {
        const GlyphRecord& cell = baked(code).record;
        if (code != u' ') {
            const std::pair<int, int> ink = cell_ink(cell), rows = cell_ink(cell, true);
            const float left = x - 0.5f + (pen + float(cell.x_offset)) * l;
            columns.push_back({left + float(ink.first) * l, left + float(ink.second + 1) * l});
            first_row = std::min(first_row, float(rows.first));
            last_row = std::max(last_row, float(rows.second + 1));
            tallest = std::max(tallest, float(definition().glyphs[definition().glyph_map[code]].height));
            second_page |= cell.page > 0;
        }
        pen += float(baked(code).advance);
    }
    EXPECT_TRUE(second_page) << "the text should draw from a second page";
    EXPECT_FLOAT_EQ(font_->draw_text(text.c_str(), x, y, l, 0xFFFFFF, 0), pen * l);
    const std::vector<std::pair<int, int>> runs = ink_runs(image, 2);
    ASSERT_EQ(runs.size(), columns.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_NEAR(float(runs[i].first), columns[i].first, 1.5f) << "glyph " << i;
        EXPECT_NEAR(float(runs[i].second + 1), columns[i].second, 1.5f) << "glyph " << i;
    }
    // All cells hang from the line's top edge, y + (tallest - (tallest - top) x 1.4 - 1) / 2.
    const float top = y + (tallest - (tallest - definition().top) * l - 1.0f) / 2.0f;
    int drawn_first = -1, drawn_last = -1;
    for (int py = 0; py < kH; ++py)
        for (int px = 0; px < kW; ++px)
            if (ink(image, px, py)) {
                if (drawn_first < 0) drawn_first = py;
                drawn_last = py;
            }
    EXPECT_NEAR(float(drawn_first), top + first_row * l, 1.5f);
    EXPECT_NEAR(float(drawn_last + 1), top + last_row * l, 1.5f);
    const RgbImage green = render_text(text.c_str(), x, y, 0xFF00FF00);
    for (size_t i = 0; i < image.rgb.size(); i += 3)
        ASSERT_TRUE(green.rgb[i] == 0 && green.rgb[i + 1] == image.rgb[i] && green.rgb[i + 2] == 0) << i / 3;
}

TEST_F(FontDrawing, Alignments) {
    const char16_t* text = u"Pr\u00eat \u00e0 partir";
    const float width = font_->draw_text(text, 0, 0, 1.4f, 0xFFFFFF, 0);
    ASSERT_GT(width, 50.0f);
    const auto ink_of = [&](float x, int32_t alignment) {
        return ink_runs(render_text(text, x, 200, 0xFFFFFF, alignment), 1000).front();
    };
    const std::pair<int, int> left = ink_of(300, 0);
    for (const auto& run : {ink_of(300 + width / 2, 1), ink_of(300 + width, 2)}) {
        EXPECT_NEAR(run.first, left.first, 1);
        EXPECT_NEAR(run.second, left.second, 1);
    }
    EXPECT_FLOAT_EQ(font_->draw_text(text, 300, 200, 1.4f, 0xFFFFFF, 1), width);
    // Any other alignment starts at column 0 with no half-pixel shift: as alignment 0 at x = 0.5.
    EXPECT_EQ(render_text(text, 700, 200, 0xFFFFFF, 3).rgb, render_text(text, 0.5f, 200).rgb);
}

// An escape and its 8 units, U+0002, line breaks and glyphs the font lacks
// draw nothing and take no room; U+0003 is a space.
TEST_F(FontDrawing, ControlUnitsAndMissingGlyphs) {
    const std::pair<const char16_t*, const char16_t*> texts[] = {
        {u"A\u0001FF00ff00BC", u"ABC"}, {u"\u0001xxxxxxxxABC", u"ABC"}, {u"A\u0002B\u0002C", u"ABC"},
        {u"A\r\nB\u4e00C\u0002", u"ABC"}, {u"A\u0003BC", u"A BC"}};
    const auto draw_all = [&](bool plain) {
        return render([&] {
            for (size_t i = 0; i < std::size(texts); ++i)
                font_->draw_text(plain ? texts[i].second : texts[i].first, 50, 100.0f + 60 * i, 1.4f, 0xFFFFFF, 0);
        });
    };
    EXPECT_EQ(draw_all(false).rgb, draw_all(true).rgb);
    for (const auto& [text, as] : texts)
        EXPECT_FLOAT_EQ(font_->draw_text(text, 0, 0, 1.4f, 0, 0), font_->draw_text(as, 0, 0, 1.4f, 0, 0));
}

// A text of only an escape sets the drawing state and colour but draws
// nothing; an empty text changes nothing.
TEST_F(FontDrawing, EscapeOnlySetsTheStateAndEmptyTextNothing) {
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(font_->draw_text(u"", 10, 10, 1.4f, 0xFFFFFF, 0), 0.0f);
    EXPECT_EQ(font_->draw_text(nullptr, 10, 10, 1.4f, 0xFFFFFF, 0), 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    float width = -1;
    const RgbImage escape = render([&] { width = font_->draw_text(u"\u000100ff00ff", 50, 100, 1.4f, 0x336699, 0); });
    EXPECT_EQ(width, 0.0f);
    EXPECT_TRUE(ink_runs(escape, 0).empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], float(0x33) / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], float(0x99) / 255.0f);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(uint32_t(bound), texture_ids_[3]);
}

// Page p goes to texture slot 3 + p; its coverage is the alpha that the
// alpha test passes (210) or drops (10).
TEST_F(FontDrawing, ElevenPagesLoadIntoTexturesOfTheirOwn) {
    BakedFont many;
    for (int page = 0; page < 11; ++page) {
        many.pages.emplace_back(size_t(kBakedPageSize) * kBakedPageSize * 3, uint8_t(10 + 20 * page));
        many.glyphs.push_back({uint16_t(u'a' + page), GlyphRecord{2, 1, 4, 4, 0, 0, page}, 4});
    }
    UnicodeFont* font = load(many, "many");
    for (int page = 0; page < 11; ++page) {
        glBindTexture(GL_TEXTURE_2D, texture_ids_[3 + page]);
        const Bytes rgba = texture_image(kBakedPageSize, kBakedPageSize);
        const uint8_t value = uint8_t(10 + 20 * page);
        EXPECT_TRUE(rgba[0] == value && rgba[3] == value && rgba.back() == value) << "page " << page;
    }
    EXPECT_FALSE(ink_runs(render_text(u"k", 100, 100, 0xFFFFFF, 0, font), 0).empty());
    EXPECT_TRUE(ink_runs(render_text(u"a", 100, 100, 0xFFFFFF, 0, font), 0).empty());
    delete font;
    font_->load_pages(String("data/fonts/batang"));
}

// A font without pages, or whose page names would pass 127 bytes with the
// terminator ("data/fonts/" + 111 characters + "_0.raw"), leaves the font
// texture alone; one character shorter loads. Without glyphs a space still
// takes its 16 pixels.
TEST_F(FontDrawing, PagesThatCannotLoadLeaveTheFontTextureAlone) {
    const Bytes marker(4 * 4, 0x5A);
    BakedFont one;
    one.pages.push_back(baked_->pages[0]);
    for (const std::string& name : {std::string("none"), std::string(111, 'n'), std::string(110, 'n')}) {
        SCOPED_TRACE(name.size());
        upload_rgba_texture(texture_ids_[3], marker.data(), 2, 2);
        UnicodeFont* font = load(name == "none" ? BakedFont() : one, name);
        EXPECT_EQ(font->definition->page_count, name == "none" ? 0 : 1);
        EXPECT_FLOAT_EQ(font->draw_text(u"a b", 10, 10, 1.4f, 0xFFFFFF, 0), 16.0f * 1.4f);
        delete font;
        glBindTexture(GL_TEXTURE_2D, texture_ids_[3]);
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, name.size() == 110 ? 256 : 2);
        if (width == 2) {
            EXPECT_EQ(texture_image(2, 2), marker);
        }
    }
    font_->load_pages(String("data/fonts/batang"));
}

TEST_F(FontDrawing, LongTextIsCutAt1024Units) {
    const std::u16string exact(1024, u'i');
    std::u16string longer = exact + std::u16string(476, u'W');
    const float width = 1024.0f * float(baked(u'i').advance);
    EXPECT_FLOAT_EQ(font_->draw_text(exact.c_str(), 0, 100, 1.0f, 0xFFFFFF, 0), width);
    EXPECT_FLOAT_EQ(font_->draw_text(longer.c_str(), 0, 100, 1.0f, 0xFFFFFF, 0), width);
    // Right-aligned at the window's edge, the last glyphs drawn are the 1,024th 'i's.
    EXPECT_EQ(render_text(longer.c_str(), 1000, 100, 0xFFFFFF, 2).rgb,
              render_text(exact.c_str(), 1000, 100, 0xFFFFFF, 2).rgb);
}

// Against half the client width every pixel position lands twice as far right.
TEST_F(FontDrawing, ResizedClientAreaIsSeenByTheNextCall) {
    const auto right_edge = [] { return ink_runs(render_text(u"Velandora", 0.5f, 100), 1000).back().second + 1; };
    const int full = right_edge();
    client_width_ = kW / 2.0f;
    const int half = right_edge();
    client_width_ = float(kW);
    EXPECT_NEAR(half, 2 * full, 3);
}

// The colour key blanks only the exact key; alpha from red; other modes are
// opaque; rows follow each other; a longer file gives its first pixels, a
// short one ends in black (transparent with alpha from red), a part of a
// pixel included; a missing one is transparent black; sizes that can't be
// held write nothing.
TEST_F(FontDrawing, ConvertsRawRgb) {
    const Bytes opaque = {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255};
    const Bytes untouched(16, 0xAB);
    const struct {
        const char* name;
        int32_t width, height, mode;
        bool ok;
        Bytes rgba;
    } cases[] = {
        {"key.raw", 4, 1, kAlphaColourKey, true, kKeyed},
        {"key.raw", 4, 1, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 254, 200, 10, 20,
                                                200}},
        {"key.raw", 4, 1, 3, true, opaque},
        {"key.raw", 2, 2, -7, true, opaque},
        {"key.raw", 1, 2, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255}},
        {"key.raw", 3, 2, 0, true, {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255,
                                    0, 0, 0, 255, 0, 0, 0, 255}},
        {"cut.raw", 3, 1, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 0, 255, 0, 0, 0, 0}},
        {"no/such/page.raw", 2, 2, 0, false, Bytes(16, 0)},
        {"key.raw", 0, 5, 0, false, untouched},
        {"key.raw", 2, -1, 0, false, untouched},
        {"key.raw", 65536, 65536, 0, false, untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.width) + "x" + std::to_string(c.height) + " mode " +
                     std::to_string(c.mode));
        Bytes rgba(c.rgba.size(), 0xAB);
        EXPECT_EQ(convert_raw_rgb(c.name, rgba.data(), c.width, c.height, c.mode), c.ok);
        EXPECT_EQ(rgba, c.rgba);
    }
}

// Raw pages are filtered linearly and repeat, and a missing file makes the
// texture transparent black; RGBA pictures are filtered nearest and clamp.
TEST_F(FontDrawing, UploadsWithTheirFilteringAndWrap) {
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    const auto expect_bound = [](GLuint texture, GLint filter, GLint wrap) {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(GLuint(bound), texture);
        for (GLenum name : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) EXPECT_EQ(parameter(name), filter);
        for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) EXPECT_EQ(parameter(name), wrap);
    };
    load_raw_texture(textures[0], "key.raw", 2, 2, kAlphaColourKey);
    expect_bound(textures[0], GL_LINEAR, GL_REPEAT);
    EXPECT_EQ(texture_image(2, 2), kKeyed);
    load_raw_texture(textures[0], "missing.raw", 2, 2, 0);
    EXPECT_EQ(texture_image(2, 2), Bytes(16, 0));
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    upload_rgba_texture(textures[1], pixels.data(), 3, 2);
    expect_bound(textures[1], GL_NEAREST, GL_CLAMP);
    EXPECT_EQ(texture_image(3, 2), pixels);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteTextures(2, textures);
}

// The command's own checks stop most bad input first (see CMakeLists.txt); these reach the baker.
TEST(FontBaker, ReportsUnusableInput) {
    BakedFont font;
    std::string error;
    EXPECT_FALSE(bake_font("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 3, &font, &error));
    EXPECT_NE(error.find("pixel size"), std::string::npos) << error;
    ScratchDirectory directory;
    directory.write("file", std::string("x"));
    EXPECT_FALSE(write_baked_font(font, "file/fonts", "dejavu", &error));
    EXPECT_NE(error.find("file/fonts"), std::string::npos) << error;
}

TEST(FontTextDeath, MissingDefinitionIsAFatalAssertion) {
    ScratchDirectory empty_directory;
    uint32_t ids[16] = {};
    float width = 1024, height = 768;
    EXPECT_EXIT(UnicodeFont("nowhere", FontView{&width, &height, ids}), ::testing::ExitedWithCode(666 & 0xFF),
                "unicode_font\\(44\\) : Assertion failed!");
}
