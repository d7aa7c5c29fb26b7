// Captions as people type them, turned into the player's Latin-1 CR LF lines.
#include <gtest/gtest.h>

#include "kit/make/caption_text.h"

namespace {

// The baked Latin-1 font: glyphs for U+0020..U+007E and U+00A0..U+00FF.
bool latinFont(uint8_t byte) { return (byte >= 0x20 && byte <= 0x7E) || byte >= 0xA0; }

CaptionText convert(const std::string& utf8, int pictures = 10) {
    return convertCaptions(std::vector<uint8_t>(utf8.begin(), utf8.end()), "captions.txt", pictures, latinFont);
}

}  // namespace

TEST(CaptionText, ConvertsToLatin1CrLfLines) {
    const struct {
        const char *name, *utf8, *file;
        size_t notes;  // different characters mapped
    } cases[] = {
        {"accents", "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e \xC3\xA0 No\xC3\xABl\nGr\xC3\xBC\xC3\x9F" "e\n",
         "Cr\xE8me br\xFBl\xE9" "e \xE0 No\xEBl\r\nGr\xFC\xDF" "e\r\n", 0},
        {"byte-order mark and every line end", "\xEF\xBB\xBFone\r\ntwo\nthree\r\n\r\nfive",
         "one\r\ntwo\r\nthree\r\n\r\nfive\r\n", 0},
        // “Quoted” — it’s… – done
        {"typographic", "\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x80\x94 it\xE2\x80\x99s\xE2\x80\xA6 \xE2\x80\x93 done",
         "\"Quoted\" - it's... - done\r\n", 6},
        {"combining accent", "Cafe\xCC\x81 au lait", "Caf\xE9 au lait\r\n", 0},  // e + U+0301
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CaptionText text = convert(c.utf8);
        ASSERT_TRUE(text.error.empty()) << text.error;
        EXPECT_EQ(captionFileBytes(text.lines), c.file);
        EXPECT_EQ(text.notes.size(), c.notes);
        EXPECT_TRUE(text.warnings.empty());
    }
    const CaptionText typographic = convert(cases[2].utf8);
    EXPECT_NE(typographic.notes[0].find("captions.txt:1:"), std::string::npos) << typographic.notes[0];
    bool ellipsis = false;
    for (const std::string& note : typographic.notes) ellipsis |= note.find("U+2026") != std::string::npos;
    EXPECT_TRUE(ellipsis);
}

// Each refusal names the file, line and column and says what is wrong.
TEST(CaptionText, RefusedCharactersAreErrorsWithLineAndColumn) {
    const struct {
        const char *utf8, *where, *why;
    } cases[] = {
        {"Fine\nW \xC5\x81odzi nad rzek\xC4\x85\n", "captions.txt:2:3:", "U+0141"},  // outside Latin-1
        {"Fine\nW \xC5\x81odzi\n", "captions.txt:2:3:", "Latin-1"},
        {"5 \xE2\x82\xAC", "captions.txt:1:3:", "EUR"},  // the euro sign gets a hint
        {"tab\there", "captions.txt:1:4:", "no glyph"},
        {"ok\nCaf\xE9\n", "captions.txt:2:4:", "UTF-8"},  // a Latin-1 file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        const CaptionText text = convert(c.utf8);
        EXPECT_NE(text.error.find(c.where), std::string::npos) << text.error;
        EXPECT_NE(text.error.find(c.why), std::string::npos) << text.error;
    }
}

// Too long, beyond the pictures, beyond the player's caption table: warned about.
TEST(CaptionText, WarnsAboutLinesThePlayerCannotShow) {
    std::string many;
    for (int i = 0; i < 60; ++i) many += "caption " + std::to_string(i + 1) + "\n";
    const struct {
        std::string utf8;
        int pictures;
        size_t lines;  // the lines without a picture are left out
        std::vector<std::pair<const char*, const char*>> warnings;
    } cases[] = {
        {"short\n" + std::string(60, 'x') + "\nthree\nfour\n", 3, 3,
         {{"captions.txt:2:", "60 characters"}, {"captions.txt:4:", "beyond the 3 pictures"}}},
        {many, 60, 60, {{"captions.txt:55:", "first 54"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pictures);
        const CaptionText text = convert(c.utf8, c.pictures);
        ASSERT_TRUE(text.error.empty()) << text.error;
        EXPECT_EQ(text.lines.size(), c.lines);
        ASSERT_EQ(text.warnings.size(), c.warnings.size());
        for (size_t i = 0; i < c.warnings.size(); ++i) {
            EXPECT_NE(text.warnings[i].find(c.warnings[i].first), std::string::npos) << text.warnings[i];
            EXPECT_NE(text.warnings[i].find(c.warnings[i].second), std::string::npos) << text.warnings[i];
        }
    }
}
