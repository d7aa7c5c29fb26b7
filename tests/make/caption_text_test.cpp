// Captions as people type them, turned into the player's Latin-1 CR LF lines.
#include <gtest/gtest.h>

#include "kit/make/caption_text.h"

namespace {

std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// The baked Latin-1 font: glyphs for U+0020..U+007E and U+00A0..U+00FF.
bool latinFont(uint8_t byte) { return (byte >= 0x20 && byte <= 0x7E) || byte >= 0xA0; }

CaptionText convert(const std::string& utf8, int pictures = 10) {
    return convertCaptions(bytes(utf8), "captions.txt", pictures, latinFont);
}

}  // namespace

TEST(CaptionText, AccentsBecomeLatin1AndLinesCrLf) {
    const CaptionText text = convert("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e \xC3\xA0 No\xC3\xABl\nGr\xC3\xBC\xC3\x9F" "e\n");
    ASSERT_TRUE(text.error.empty()) << text.error;
    ASSERT_EQ(text.lines.size(), 2u);
    EXPECT_EQ(text.lines[0], "Cr\xE8me br\xFBl\xE9" "e \xE0 No\xEBl");
    EXPECT_EQ(text.lines[1], "Gr\xFC\xDF" "e");
    EXPECT_EQ(captionFileBytes(text.lines), "Cr\xE8me br\xFBl\xE9" "e \xE0 No\xEBl\r\nGr\xFC\xDF" "e\r\n");
    EXPECT_TRUE(text.notes.empty());
    EXPECT_TRUE(text.warnings.empty());
}

TEST(CaptionText, ByteOrderMarkAndEveryLineEndAccepted) {
    const CaptionText text = convert("\xEF\xBB\xBFone\r\ntwo\nthree\r\n\r\nfive");
    ASSERT_TRUE(text.error.empty()) << text.error;
    ASSERT_EQ(text.lines.size(), 5u);
    EXPECT_EQ(text.lines[0], "one");
    EXPECT_EQ(text.lines[1], "two");
    EXPECT_EQ(text.lines[2], "three");
    EXPECT_EQ(text.lines[3], "");
    EXPECT_EQ(text.lines[4], "five");
}

TEST(CaptionText, TypographicCharactersAreMappedWithANote) {
    // “Quoted” — it’s… – done
    const CaptionText text =
        convert("\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x80\x94 it\xE2\x80\x99s\xE2\x80\xA6 \xE2\x80\x93 done");
    ASSERT_TRUE(text.error.empty()) << text.error;
    ASSERT_EQ(text.lines.size(), 1u);
    EXPECT_EQ(text.lines[0], "\"Quoted\" - it's... - done");
    EXPECT_EQ(text.notes.size(), 6u);  // six different characters
    bool ellipsis = false;
    for (const std::string& note : text.notes) ellipsis |= note.find("U+2026") != std::string::npos;
    EXPECT_TRUE(ellipsis);
    EXPECT_NE(text.notes[0].find("captions.txt:1:"), std::string::npos);
}

TEST(CaptionText, CombiningAccentsAreComposed) {
    const CaptionText text = convert("Cafe\xCC\x81 au lait");  // e + U+0301
    ASSERT_TRUE(text.error.empty()) << text.error;
    EXPECT_EQ(text.lines[0], "Caf\xE9 au lait");
}

// Each refusal names the file, line and column and says what is wrong.
TEST(CaptionText, RefusedCharactersAreErrorsWithLineAndColumn) {
    struct Case {
        const char* utf8;
        const char* where;
        const char* why;
    };
    const Case cases[] = {
        {"Fine\nW \xC5\x81odzi nad rzek\xC4\x85\n", "captions.txt:2:3:", "U+0141"},  // outside Latin-1
        {"Fine\nW \xC5\x81odzi\n", "captions.txt:2:3:", "Latin-1"},
        {"5 \xE2\x82\xAC", "captions.txt:1:3:", "EUR"},        // the euro sign gets a hint
        {"tab\there", "captions.txt:1:4:", "no glyph"},
        {"ok\nCaf\xE9\n", "captions.txt:2:4:", "UTF-8"},       // a Latin-1 file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        const CaptionText text = convert(c.utf8);
        EXPECT_NE(text.error.find(c.where), std::string::npos) << text.error;
        EXPECT_NE(text.error.find(c.why), std::string::npos) << text.error;
    }
}

TEST(CaptionText, LongCaptionsAndExtraLinesAreWarnedAbout) {
    const std::string sixty(60, 'x');
    const CaptionText text = convert("short\n" + sixty + "\nthree\nfour\n", 3);
    ASSERT_TRUE(text.error.empty()) << text.error;
    ASSERT_EQ(text.warnings.size(), 2u);
    EXPECT_NE(text.warnings[0].find("captions.txt:2:"), std::string::npos) << text.warnings[0];
    EXPECT_NE(text.warnings[0].find("60 characters"), std::string::npos) << text.warnings[0];
    EXPECT_NE(text.warnings[1].find("captions.txt:4:"), std::string::npos) << text.warnings[1];
    EXPECT_EQ(text.lines.size(), 3u);  // the line without a picture is left out
}

TEST(CaptionText, LinesPastThePlayersTableAreWarnedAbout) {
    std::string many;
    for (int i = 0; i < 60; ++i) many += "caption " + std::to_string(i + 1) + "\n";
    const CaptionText text = convert(many, 60);
    ASSERT_TRUE(text.error.empty()) << text.error;
    ASSERT_EQ(text.warnings.size(), 1u);
    EXPECT_NE(text.warnings[0].find("captions.txt:55:"), std::string::npos) << text.warnings[0];
    EXPECT_NE(text.warnings[0].find("first 54"), std::string::npos) << text.warnings[0];
}
