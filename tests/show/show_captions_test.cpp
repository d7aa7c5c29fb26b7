// The caption file: lines, carriage returns, the 54-entry table.
#include <gtest/gtest.h>

#include <string>

#include "app/show.h"
#include "tests/show/show_fixture.h"

namespace {
const char* kCaptionFile = "data/text/velandora.txt";
}

TEST(ShowCaptions, OneLinePerPictureEndedByCarriageReturn) {
    ScratchDirectory dir;
    dir.write(kCaptionFile, std::string("Premi\xE8re\r\nSecond line\r\nThird\r\n"));
    load_captions(kCaptionFile);
    ASSERT_NE(show_state.caption_lines[0], nullptr);
    EXPECT_STREQ(show_state.caption_lines[0], "Premi\xE8re");
    EXPECT_STREQ(show_state.caption_lines[1], "Second line");
    EXPECT_STREQ(show_state.caption_lines[2], "Third");
    // The final line feed starts an empty fourth entry; nothing after it.
    ASSERT_NE(show_state.caption_lines[3], nullptr);
    EXPECT_STREQ(show_state.caption_lines[3], "");
    EXPECT_EQ(show_state.caption_lines[4], nullptr);
}

TEST(ShowCaptions, LoneLineFeedDoesNotEndACaption) {
    ScratchDirectory dir;
    dir.write(kCaptionFile, std::string("one\ntwo\r\nthree"));
    load_captions(kCaptionFile);
    // Line 0 runs on over the line feed up to the carriage return.
    EXPECT_STREQ(show_state.caption_lines[0], "one\ntwo");
    EXPECT_STREQ(show_state.caption_lines[1], "two");
    EXPECT_STREQ(show_state.caption_lines[2], "three");
    EXPECT_EQ(show_state.caption_lines[3], nullptr);
}

TEST(ShowCaptions, AtMost53LineFeedsAreRecorded) {
    ScratchDirectory dir;
    std::string text;
    for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + "\r\n";
    dir.write(kCaptionFile, text);
    load_captions(kCaptionFile);
    EXPECT_STREQ(show_state.caption_lines[0], "line 0");
    EXPECT_STREQ(show_state.caption_lines[53], "line 53");
}

TEST(ShowCaptions, MissingFileGivesNoLines) {
    ScratchDirectory dir;
    load_captions(kCaptionFile);
    for (int i = 0; i < kCaptionLineCount; ++i) EXPECT_EQ(show_state.caption_lines[i], nullptr);
}
