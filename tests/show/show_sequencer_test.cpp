// The show's clock (milliseconds, the fade, the typed count, the typing cue) and
// the caption file (lines, carriage returns, the 54-entry table).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/show.h"
#include "tests/support/scratch_directory.h"

TEST(ShowTiming, MillisecondsStartTwoAndAHalfSecondsIntoTheMusicTruncatedTowardsZero) {
    const std::pair<float, int32_t> rows[] = {{2.5f, 0},      {5.75f, 3250},  {8.5f, 6000},   {0.0f, -2500},
                                              {2.4995f, 0},   {-1.0f, -3500}, {1e10f, INT32_MAX}, {-1e10f, INT32_MIN}};
    for (const auto& row : rows) EXPECT_EQ(show_milliseconds(row.first), row.second) << row.first;
}

// The fade runs from 500 ms over the rest of each slot; 51 characters per fade.
TEST(ShowTiming, FadeAndTypedCountFollowTheSlot) {
    const struct { int32_t ms; float alpha; int32_t typed; } rows[] = {
        {-2500, 0.0f, 0}, {-1, 0.0f, 0},  {0, 0.0f, 0},   {500, 0.0f, 0},
        {607, 107.0f / 5500, 0},          {608, 108.0f / 5500, 1},  // 1/51 of the fade
        {3250, 0.5f, 25}, {5999, 5499.0f / 5500, 50}, {6000, 0.0f, 0}, {6000 + 3250, 0.5f, 25},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ms);
        EXPECT_NEAR(fade_alpha(row.ms), row.alpha, 1e-6f);
        EXPECT_EQ(typed_characters(fade_alpha(row.ms)), row.typed);
    }
}

// The cut caption's cue is ShowFrame.CaptionsAsTheShowTypesThem's; line ends
// only reach it here.
TEST(ShowTiming, ACaptionCutAtALineEndIsNotTyping) {
    EXPECT_TRUE(caption_is_typing(u"ABC", 3));
    EXPECT_FALSE(caption_is_typing(u"AB\r", 3));
    EXPECT_FALSE(caption_is_typing(u"AB\n", 3));
}

// Line k is picture k's caption: it starts after the k-th line feed and ends
// at a carriage return (a lone line feed starts a line but doesn't end the
// one before); a zero byte ends the text; at most 54 lines are kept; a
// missing file leaves none.
TEST(ShowCaptions, LinesEndAtCarriageReturnsAndStartAfterLineFeeds) {
    std::string sixty;
    std::vector<std::string> first_54;
    for (int i = 0; i < 60; ++i) {
        sixty += "line " + std::to_string(i) + "\r\n";
        if (i < 54) first_54.push_back("line " + std::to_string(i));
    }
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> lines;
    } rows[] = {
        // The final line feed starts an empty last entry.
        {"CR LF", "Premi\xE8re\r\nSecond line\r\n\xFF\xFE\r\n", {"Premi\xE8re", "Second line", "\xFF\xFE", ""}},
        {"lone LF", "one\ntwo\r\nthree", {"one\ntwo", "two", "three"}},
        {"cut between CR and LF", "first\r\nsecond\r", {"first", "second"}},
        {"empty", "", {""}},
        {"zero byte", std::string("a\r\n\0b\r\nc", 8), {"a", ""}},
        {"sixty lines", sixty, first_54},
        {"missing file", "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDirectory dir;
        if (!row.lines.empty()) dir.write("data/text/velandora.txt", row.text);
        load_captions("data/text/velandora.txt");
        for (size_t i = 0; i < size_t(kCaptionLineCount); ++i) {
            if (i < row.lines.size()) {
                ASSERT_NE(show_state.caption_lines[i], nullptr) << i;
                EXPECT_EQ(show_state.caption_lines[i], row.lines[i]) << i;
            } else {
                EXPECT_EQ(show_state.caption_lines[i], nullptr) << i;
            }
        }
    }
    EXPECT_EQ(show_state.caption_text, nullptr);
}
