// The unpackers, directly and through archives, and their fatal reports.
#include <cstring>
#include <memory>
#include <string>

#include "lib/archive_file_system.h"
#include "lib/fatal_error.h"
#include "lib/file_system.h"
#include "lib/lcc_codec.h"
#include "test_support.h"

namespace {

std::string unpack(uint32_t method, const std::vector<uint8_t>& packed, int32_t unpackedSize) {
    std::unique_ptr<MemoryStream> stream(
        lccCodecForMethod(method)->decompress(packed.data(), static_cast<int32_t>(packed.size()), unpackedSize));
    if (!stream) return "<null>";
    EXPECT_EQ(stream->isOwned(), 1);
    EXPECT_EQ(stream->tell(), 0);
    return readAll(stream.get());
}

std::string sampleText() {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 37) + " of the captions\n";
    return text;
}

}  // namespace

TEST(Codecs, TheTableHasLzAndZlibOnly) {
    EXPECT_EQ(lccCodecForMethod(0), nullptr);
    EXPECT_NE(lccCodecForMethod(1), nullptr);
    EXPECT_NE(lccCodecForMethod(2), nullptr);
    EXPECT_EQ(lccCodecForMethod(3), nullptr);
    EXPECT_EQ(lccCodecForMethod(1)->reserved("x", 1), nullptr);
}

TEST(Codecs, ZlibRoundTrip) {
    std::string text = sampleText();
    EXPECT_EQ(unpack(2, deflateBytes(bytesOf(text)), static_cast<int32_t>(text.size())), text);
    EXPECT_EQ(unpack(2, deflateBytes({}), 0), "");
}

TEST(Codecs, LzSmallestStreams) {
    // A literal, a tag byte whose top bits are 1, 1, 0, and the end marker.
    EXPECT_EQ(unpack(1, {'L', 0xC0, 0x00}, 1), "L");
    // First byte; the tag bytes 0xE1, 0xA0 give the bits 1,1,1 0,0,0,0 (a zero
    // byte) and 1 | 1,0 (then the end marker 0x00).
    EXPECT_EQ(unpack(1, {'Q', 0xE1, 0xA0, 0x00}, 2), std::string("Q\0", 2));
}

TEST(CodecsDeathTest, CorruptZlibIsFatal) {
    std::vector<uint8_t> packed = deflateBytes(bytesOf(sampleText()));
    packed[packed.size() / 2] ^= 0xFF;
    packed[packed.size() / 2 + 1] ^= 0x55;
    EXPECT_EXIT(unpack(2, packed, static_cast<int32_t>(sampleText().size())), ::testing::ExitedWithCode(666 & 0xFF),
                "Fatal Error: lib\\\\lcc_zlib\\(69\\) : Assertion failed!\nExpression: res==Z_STREAM_END");
}

TEST(CodecsDeathTest, ZlibOfTheWrongSizeIsFatal) {
    std::string text = sampleText();
    // More output than expected never finishes the stream.
    EXPECT_EXIT(unpack(2, deflateBytes(bytesOf(text)), static_cast<int32_t>(text.size()) - 1),
                ::testing::ExitedWithCode(154), "res==Z_STREAM_END");
    // Less output than expected is the size assertion.
    EXPECT_EXIT(unpack(2, deflateBytes(bytesOf(text)), static_cast<int32_t>(text.size()) + 10),
                ::testing::ExitedWithCode(154), "lcc_zlib\\(70\\).*\nExpression: origsize==strm.total_out");
}

TEST(CodecsDeathTest, CorruptLzIsFatal) {
    // The stream ends before its end marker.
    EXPECT_EXIT(unpack(1, {'L', 0x00}, 2), ::testing::ExitedWithCode(154),
                "Fatal Error: lib\\\\lcc_lz\\(58\\) : Assertion failed!");
    // A complete stream whose output is shorter than the member claims.
    EXPECT_EXIT(unpack(1, {'L', 0xC0, 0x00}, 5), ::testing::ExitedWithCode(154), "lcc_lz");
    // A copy from before the start of the output.
    EXPECT_EXIT(unpack(1, {'L', 0xE0 | 0x0F, 0x00}, 4), ::testing::ExitedWithCode(154), "lcc_lz");
}

using CodecArchives = ScratchDirectory;

TEST_F(CodecArchives, ZlibDirectoryAndMembersThroughOpenFile) {
    TestArchive archive;
    archive.name = "z";
    archive.directoryMethod = 2;
    archive.members = {zlibMember("data/text/velandora.txt", sampleText()), storedMember("plain.txt", "plain")};
    writeBytes("z.lcc", archive.bytes());
    mountArchives();
    ASSERT_EQ(archiveFileSystem()->archives().size(), 1u);
    Stream* stream = openFile("velandora.txt");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), sampleText());
    delete stream;
    stream = openFile("plain.txt");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "plain");
    delete stream;
}

TEST_F(CodecArchives, LzMemberThroughOpenFile) {
    TestArchive archive;
    archive.name = "lz";
    archive.members = {TestMember{"tiny.bin", {'L', 0xC0, 0x00}, 1, 1}};
    writeBytes("lz.lcc", archive.bytes());
    mountArchives();
    int32_t compressed = 0;
    Stream* stream = openFileEx("tiny.bin", nullptr, 0, &compressed);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(compressed, 1);
    EXPECT_EQ(readAll(stream), "L");
    delete stream;
}

TEST_F(CodecArchives, CorruptMemberStopsTheProgram) {
    TestArchive archive;
    archive.name = "bad";
    TestMember member = zlibMember("bad.txt", sampleText());
    member.packed[member.packed.size() / 2] ^= 0xFF;
    member.packed[member.packed.size() / 2 + 1] ^= 0xFF;
    archive.members = {member};
    writeBytes("bad.lcc", archive.bytes());
    EXPECT_EXIT(
        {
            mountArchives();
            openFile("bad.txt");
        },
        ::testing::ExitedWithCode(154), "Fatal Error: lib\\\\lcc_zlib\\(69\\)");
}

TEST_F(CodecArchives, CorruptDirectoryStopsTheProgram) {
    TestArchive archive;
    archive.name = "bad";
    archive.members = {storedMember("a.txt", "a")};
    std::vector<uint8_t> directory = archive.directory();
    std::vector<uint8_t> packed = deflateBytes(directory);
    packed[3] ^= 0xFF;
    packed[4] ^= 0xFF;
    writeBytes("bad.lcc", archiveWithDirectory(0, 2, packed, static_cast<uint32_t>(directory.size()), bytesOf("a")));
    EXPECT_EXIT(mountArchives(), ::testing::ExitedWithCode(154), "Fatal Error: lib\\\\lcc_zlib");
}

TEST(FatalErrorDeathTest, ShowsTheMessageAndExitsWith666) {
    EXPECT_EXIT(fatalError("Cannot open %s (%d)", "font.def", 3), ::testing::ExitedWithCode(154),
                "Fatal Error: Cannot open font.def \\(3\\)");
}

TEST(FatalErrorDeathTest, LongMessagesAreCutTo255Characters) {
    std::string message(300, 'm');
    std::string shown(255, 'm');
    EXPECT_EXIT(fatalError("%s", message.c_str()), ::testing::ExitedWithCode(154),
                "Fatal Error: " + shown + "\n$");
}

TEST(FatalErrorDeathTest, AssertionReportsDropTheirTab) {
    EXPECT_EXIT(fatalError(kAssertionFormat, "font\\unicode_font", 42, "file!=NULL"), ::testing::ExitedWithCode(154),
                "Fatal Error: font\\\\unicode_font\\(42\\) : Assertion failed!\nExpression: file!=NULL\n");
}
