// The font baker as a library: what it writes is what the loader reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kit/font_baker/font_baker.h"
#include "tests/font/gl_test_context.h"

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class FontBaker : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        font_ = new BakedFont;
        ok_ = bake_font(kDejaVu, 14, font_, &error_);
    }
    static void TearDownTestSuite() { delete font_; }
    void SetUp() override { ASSERT_TRUE(ok_) << error_; }

    static BakedFont* font_;
    static bool ok_;
    static std::string error_;
};

BakedFont* FontBaker::font_ = nullptr;
bool FontBaker::ok_ = false;
std::string FontBaker::error_;

}  // namespace

TEST_F(FontBaker, CoversLatin1AndGivesBackThePlayersAdditions) {
    std::vector<bool> seen(65536, false);
    for (const BakedGlyph& glyph : font_->glyphs) {
        EXPECT_FALSE(seen[glyph.code]) << "code baked twice: " << glyph.code;
        seen[glyph.code] = true;
        const GlyphRecord& r = glyph.record;
        const int player_adds = (glyph.code < 0xFF ? 2 : 0) + (glyph.code == 0x20 ? 16 : 0);
        EXPECT_EQ(r.x_offset + r.width + r.spacing + player_adds, glyph.advance) << glyph.code;
        EXPECT_EQ(r.height, font_->line_height);
        EXPECT_GE(r.page, 0);
        EXPECT_LT(r.page, int(font_->pages.size()));
    }
    for (int code = 0x20; code <= 0xFF; ++code) EXPECT_EQ(seen[size_t(code)], code < 0x7F || code >= 0xA0) << code;
    EXPECT_TRUE(seen[0x2014]);
    EXPECT_TRUE(seen[0x20AC]);
}

TEST_F(FontBaker, InkLiesInsideTheCellsAndIsWhite) {
    for (size_t page = 0; page < font_->pages.size(); ++page) {
        const std::vector<uint8_t>& pixels = font_->pages[page];
        ASSERT_EQ(pixels.size(), size_t(256 * 256 * 3));
        std::vector<bool> inside(256 * 256, false);
        for (const BakedGlyph& glyph : font_->glyphs) {
            if (glyph.record.page != int(page)) continue;
            for (int y = glyph.record.y; y < glyph.record.y + glyph.record.height; ++y)
                for (int x = glyph.record.x; x < glyph.record.x + glyph.record.width; ++x) inside[size_t(y) * 256 + x] = true;
        }
        int inked = 0;
        for (size_t i = 0; i < inside.size(); ++i) {
            const uint8_t* p = &pixels[i * 3];
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            if (p[0]) {
                ++inked;
                ASSERT_TRUE(inside[i]) << "ink outside every cell at page " << page << " pixel " << i;
            }
        }
        EXPECT_GT(inked, 100);
    }
}

TEST_F(FontBaker, WritesTheDefinitionAndEveryPage) {
    ScratchDirectory directory;
    std::string error;
    ASSERT_TRUE(write_baked_font(*font_, directory.path() + "/out/fonts", "dejavu", &error)) << error;
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::file_size(directory.path() + "/out/fonts/dejavu.def"), encode_font_definition(*font_).size());
    for (size_t page = 0; page < font_->pages.size(); ++page)
        EXPECT_EQ(fs::file_size(directory.path() + "/out/fonts/dejavu_" + std::to_string(page) + ".raw"), 196608u);
    // A directory that can't be made.
    std::ofstream(directory.path() + "/file") << "x";
    EXPECT_FALSE(write_baked_font(*font_, directory.path() + "/file/fonts", "dejavu", &error));
    EXPECT_NE(error.find("file/fonts"), std::string::npos) << error;
}

TEST(FontBakerFailures, ReportsUnusableInput) {
    BakedFont font;
    std::string error;
    EXPECT_FALSE(bake_font("/no/such/font.ttf", 20, &font, &error));
    EXPECT_NE(error.find("/no/such/font.ttf"), std::string::npos);
    EXPECT_FALSE(bake_font("/etc/hostname", 20, &font, &error));
    EXPECT_FALSE(bake_font(kDejaVu, 3, &font, &error));
    EXPECT_FALSE(bake_font(kDejaVu, 120, &font, &error));
    EXPECT_NE(error.find("pages"), std::string::npos) << error;
}
