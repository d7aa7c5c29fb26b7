// Caption files: line k (ended by CR LF) is picture k's caption, at most 54
// lines are kept, and a missing file gives every picture an empty caption.
#include <cstring>

#include "app/show.h"
#include "bad_input_support.h"

namespace {

// The captions the first pictures get; absent entries are null lines.
struct CaptionOutcome {
    std::vector<std::string> lines;
    int32_t lineCount;  // non-null lines
};

std::string manyLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
}

using CaptionRow = Row<CaptionOutcome>;
const std::vector<CaptionRow> kCaptionRows = {
    {"empty", [] { return Bytes(); }, {{""}, 1}},
    {"one_byte", [] { return bytesOf("x"); }, {{"x"}, 1}},
    {"lone_carriage_return", [] { return bytesOf("\r"); }, {{""}, 1}},
    // A lone line feed starts the next line but does not end the one before.
    {"lone_line_feed", [] { return bytesOf("\n"); }, {{"\n", ""}, 2}},
    {"cut_between_cr_and_lf", [] { return bytesOf("first\r\nsecond\r"); }, {{"first", "second"}, 2}},
    {"no_line_end", [] { return bytesOf("only line"); }, {{"only line"}, 1}},
    {"line_feeds_only", [] { return bytesOf("a\nb\nc"); }, {{"a\nb\nc", "b\nc", "c"}, 3}},
    {"zero_byte_ends_the_text", [] { return Bytes{'a', '\r', '\n', 0, 'b', '\r', '\n', 'c'}; },
     {{"a", ""}, 2}},
    {"exactly_54_lines", [] { return bytesOf(manyLines(53) + "last"); }, {{"line 0", "line 1"}, 54}},
    {"more_than_54_lines", [] { return bytesOf(manyLines(500)); }, {{"line 0", "line 1"}, 54}},
    {"a_very_long_line", [] { return bytesOf(std::string(200000, 'w') + "\r\nnext"); },
     {{std::string(200000, 'w'), "next"}, 2}},
    {"high_bytes", [] { return bytesOf("caf\xe9\r\n\xff\xfe\r\n"); }, {{"caf\xe9", "\xff\xfe", ""}, 3}},
};

class CaptionMatrix : public ScratchTest, public ::testing::WithParamInterface<CaptionRow> {};

TEST_P(CaptionMatrix, SplitsTheLinesAsTheShowReadsThem) {
    const CaptionRow& row = GetParam();
    const Bytes bytes = row.make();
    writeFile("captions.txt", bytes);
    load_captions("captions.txt");
    ASSERT_NE(show_state.caption_text, nullptr);
    int32_t count = 0;
    for (const char* line : show_state.caption_lines) {
        if (!line) continue;
        ++count;
        // Each line ends inside the loaded text.
        ASSERT_GE(line, show_state.caption_text);
        ASSERT_LE(line + std::strlen(line), show_state.caption_text + bytes.size());
    }
    EXPECT_EQ(count, row.expected.lineCount);
    for (size_t i = 0; i < row.expected.lines.size(); ++i) {
        ASSERT_NE(show_state.caption_lines[i], nullptr) << i;
        EXPECT_EQ(std::string(show_state.caption_lines[i]), row.expected.lines[i]) << i;
    }
    if (row.name == "exactly_54_lines") {
        EXPECT_STREQ(show_state.caption_lines[53], "last");
    }
    if (row.name == "more_than_54_lines") {
        // The last kept line still ends at its own carriage return.
        EXPECT_STREQ(show_state.caption_lines[53], "line 53");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CaptionMatrix, ::testing::ValuesIn(kCaptionRows), rowName<CaptionOutcome>);

TEST_F(ScratchTest, AMissingCaptionFileLeavesNoLines) {
    writeFile("captions.txt", bytesOf("a\r\nb\r\n"));
    load_captions("captions.txt");
    ASSERT_NE(show_state.caption_lines[1], nullptr);
    load_captions("missing.txt");
    EXPECT_EQ(show_state.caption_text, nullptr);
    for (const char* line : show_state.caption_lines) EXPECT_EQ(line, nullptr);
}

}  // namespace
