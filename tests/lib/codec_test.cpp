// The unpackers, directly and through archives, and their fatal reports.
#include <memory>
#include <string>

#include "lib/archive_file_system.h"
#include "lib/fatal_error.h"
#include "lib/file_system.h"
#include "lib/lcc_codec.h"
#include "test_support.h"

namespace {

std::string unpack(uint32_t method, const Bytes& packed, int32_t unpackedSize) {
    std::unique_ptr<MemoryStream> stream(
        lccCodecForMethod(method)->decompress(packed.data(), static_cast<int32_t>(packed.size()), unpackedSize));
    if (!stream) return "<null>";
    EXPECT_EQ(stream->isOwned(), 1);
    EXPECT_EQ(stream->tell(), 0);
    return readAll(stream.get());
}

const std::string& sampleText() {
    static const std::string text = [] {
        std::string text;
        for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 37) + " of the captions\n";
        return text;
    }();
    return text;
}

const int32_t kSampleSize = static_cast<int32_t>(sampleText().size());

using CodecArchives = InScratch;

}  // namespace

TEST(Codecs, TheTableHasLzAndZlibOnly) {
    EXPECT_EQ(lccCodecForMethod(0), nullptr);
    EXPECT_NE(lccCodecForMethod(1), nullptr);
    EXPECT_NE(lccCodecForMethod(2), nullptr);
    EXPECT_EQ(lccCodecForMethod(3), nullptr);
    EXPECT_EQ(lccCodecForMethod(1)->reserved("x", 1), nullptr);
}

TEST(Codecs, RoundTrips) {
    EXPECT_EQ(unpack(2, deflateBytes(bytesOf(sampleText())), kSampleSize), sampleText());
    // Tag bits 1,1,1 0,0,0,0 (a zero byte) and 1 | 1,0 (then the end marker 0x00).
    EXPECT_EQ(unpack(1, {'Q', 0xE1, 0xA0, 0x00}, 2), std::string("Q\0", 2));
}

TEST(CodecsDeathTest, DamageAndWrongSizesAreFatal) {
    Bytes packed = deflateBytes(bytesOf(sampleText())), damaged = packed;
    damaged[damaged.size() / 2] ^= 0xFF;
    damaged[damaged.size() / 2 + 1] ^= 0x55;
    EXPECT_EXIT(unpack(2, damaged, kSampleSize), ::testing::ExitedWithCode(666 & 0xFF),
                "Fatal Error: lib\\\\lcc_zlib\\(69\\) : Assertion failed!\nExpression: res==Z_STREAM_END");
    // Less output than the member claims is the size assertion.
    EXPECT_EXIT(unpack(2, packed, kSampleSize + 10), ::testing::ExitedWithCode(154),
                "lcc_zlib\\(70\\).*\nExpression: origsize==strm.total_out");
    // An LZ stream that ends before its end marker (the unpacker's other faults
    // end the same way).
    EXPECT_EXIT(unpack(1, {'L', 0x00}, 2), ::testing::ExitedWithCode(154),
                "Fatal Error: lib\\\\lcc_lz\\(58\\) : Assertion failed!");
}

// A zlib directory, and members of every method through openFile: an empty LZ
// member has no packed bytes at all.
TEST_F(CodecArchives, PackedDirectoryAndMembersThroughOpenFile) {
    TestArchive archive;
    archive.directoryMethod = 2;
    // A literal, a tag byte whose top bits are 1, 1, 0, and the end marker.
    archive.members = {zlibMember("data/text/velandora.txt", sampleText()), storedMember("plain.txt", "plain"),
                       TestMember{"tiny.bin", {'L', 0xC0, 0x00}, 1, 1}, TestMember{"empty.lz", {}, 0, 1}};
    writeFile("z.lcc", archive.bytes());
    mountArchives();
    ASSERT_EQ(archiveFileSystem()->archives().size(), 1u);
    const std::pair<const char*, std::string> cases[] = {
        {"velandora.txt", sampleText()}, {"plain.txt", "plain"}, {"tiny.bin", "L"}, {"empty.lz", ""}};
    for (const auto& c : cases) {
        int32_t compressed = -1;
        std::unique_ptr<Stream> stream(openFileEx(c.first, nullptr, 0, &compressed));
        ASSERT_NE(stream, nullptr) << c.first;
        EXPECT_EQ(compressed, c.first[0] != 'p') << c.first;
        EXPECT_EQ(readAll(stream.get()), c.second);
    }
}

// The assertion reports above drop their tab.
TEST(FatalErrorDeathTest, ShowsTheMessageCutTo255CharactersAndExitsWith666) {
    EXPECT_EXIT(fatalError("Cannot open %s (%d)", std::string(300, 'm').c_str(), 3), ::testing::ExitedWithCode(154),
                "Fatal Error: Cannot open " + std::string(255 - 12, 'm') + "\n$");
}
