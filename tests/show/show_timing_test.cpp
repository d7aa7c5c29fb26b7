// The show's clock: milliseconds, the fade, the typed count, the typing cue.
#include <gtest/gtest.h>

#include "app/show.h"

TEST(ShowTiming, MillisecondsStartTwoAndAHalfSecondsIntoTheMusic) {
    EXPECT_EQ(show_milliseconds(2.5f), 0);
    EXPECT_EQ(show_milliseconds(5.75f), 3250);
    EXPECT_EQ(show_milliseconds(8.5f), 6000);
    EXPECT_EQ(show_milliseconds(0.0f), -2500);
    // Truncated towards zero, also below zero.
    EXPECT_EQ(show_milliseconds(2.4995f), 0);
    EXPECT_EQ(show_milliseconds(-1.0f), -3500);
}

TEST(ShowTiming, FadeRunsFrom500MsOverTheSlot) {
    EXPECT_EQ(fade_alpha(-2500), 0.0f);
    EXPECT_EQ(fade_alpha(-1), 0.0f);
    EXPECT_EQ(fade_alpha(0), 0.0f);
    EXPECT_EQ(fade_alpha(500), 0.0f);
    EXPECT_NEAR(fade_alpha(3250), 0.5f, 1e-6f);
    EXPECT_NEAR(fade_alpha(5999), 5499.0f / 5500.0f, 1e-6f);
    EXPECT_LT(fade_alpha(5999), 1.0f);
    // Every slot starts again at 0.
    EXPECT_EQ(fade_alpha(6000), 0.0f);
    EXPECT_NEAR(fade_alpha(6000 + 3250), 0.5f, 1e-6f);
}

TEST(ShowTiming, TypedCountIsAlphaTimes51) {
    EXPECT_EQ(typed_characters(fade_alpha(0)), 0);
    EXPECT_EQ(typed_characters(fade_alpha(3250)), 25);
    EXPECT_EQ(typed_characters(fade_alpha(5999)), 50);
    // The first character appears once alpha reaches 1/51, about 608 ms in.
    EXPECT_EQ(typed_characters(fade_alpha(607)), 0);
    EXPECT_EQ(typed_characters(fade_alpha(608)), 1);
    int most = 0;
    for (int ms = 0; ms < 6000; ++ms) most = std::max(most, typed_characters(fade_alpha(ms)));
    EXPECT_EQ(most, 50);
}

// The caption A, B, space, C, D cut at `typed`, as show_frame cuts it.
static bool typing_at(int typed) {
    char16_t shown[16] = u"AB CD";
    shown[typed] = 0;
    return caption_is_typing(shown, typed);
}

TEST(ShowTiming, TypingCueFollowsTheCaption) {
    EXPECT_FALSE(typing_at(0));
    EXPECT_TRUE(typing_at(1));
    EXPECT_TRUE(typing_at(2));
    EXPECT_FALSE(typing_at(3));  // the last shown unit is the space
    EXPECT_TRUE(typing_at(4));
    EXPECT_TRUE(typing_at(5));   // n still equals typed
    EXPECT_FALSE(typing_at(6));  // finished
    EXPECT_FALSE(typing_at(7));
    const char16_t line_end[] = u"AB\r";
    EXPECT_FALSE(caption_is_typing(line_end, 3));
    const char16_t feed[] = u"AB\n";
    EXPECT_FALSE(caption_is_typing(feed, 3));
}
