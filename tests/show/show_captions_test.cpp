// The caption file: lines, carriage returns, the 54-entry table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/show.h"
#include "tests/show/show_fixture.h"

TEST(ShowCaptions, LinesEndAtCarriageReturnsAndStartAfterLineFeeds) {
    std::string sixty;
    std::vector<std::string> first_54;
    for (int i = 0; i < 60; ++i) {
        sixty += "line " + std::to_string(i) + "\r\n";
        if (i < 54) first_54.push_back("line " + std::to_string(i));
    }
    const struct {
        const char* what;
        const char* text;  // null: no file
        std::vector<std::string> lines;
    } rows[] = {
        // The final line feed starts an empty last entry.
        {"CR LF", "Premi\xE8re\r\nSecond line\r\nThird\r\n", {"Premi\xE8re", "Second line", "Third", ""}},
        // A lone line feed starts a line but does not end the one before.
        {"lone LF", "one\ntwo\r\nthree", {"one\ntwo", "two", "three"}},
        {"sixty lines", sixty.c_str(), first_54},
        {"missing file", nullptr, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDirectory dir;
        if (row.text) dir.write("data/text/velandora.txt", std::string(row.text));
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
}
