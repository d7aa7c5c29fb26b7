// openFile over disk files, mounted archives and the program's resources:
// every lookup rule and pass; the unpackers, directly and through archives,
// and their fatal reports.
#include <unistd.h>

#include <memory>

#include "lib/archive_file_system.h"
#include "lib/fatal_error.h"
#include "lib/file_system.h"
#include "lib/lcc_codec.h"
#include "test_support.h"

namespace {

// The content that `name` opens to, or "<none>"; the size reported is the content's.
std::string open(const std::string& name, int32_t mode = 0) {
    int32_t size = -1;
    Stream* stream = openFile(name.c_str(), &size, mode);
    if (!stream) return "<none>";
    std::string content = readAll(stream);
    delete stream;
    EXPECT_EQ(size, static_cast<int32_t>(content.size())) << name;
    return content;
}

// Writes each archive as N.lcc ("member=content" stored, "member~content" zlib) and mounts them.
void mountFiles(const std::vector<std::vector<std::string>>& archives) {
    for (size_t i = 0; i < archives.size(); ++i) {
        TestArchive archive;
        archive.name = "n" + std::to_string(i + 1);
        for (const std::string& member : archives[i]) {
            size_t at = member.find_first_of("=~");
            archive.members.push_back((member[at] == '=' ? storedMember : zlibMember)(member.substr(0, at),
                                                                                      member.substr(at + 1)));
        }
        writeFile(std::to_string(i + 1) + ".lcc", archive.bytes());
    }
    mountArchives();
}

struct Query {
    std::string request;
    int32_t mode;
    std::string expected;
};

struct Case {
    const char* name;
    std::vector<std::string> loose;  // "path=content" on disk
    std::vector<std::vector<std::string>> archives;
    std::vector<Query> queries;
};

const Case kCases[] = {
    {"base names and suffixes", {},
     {{"data/images/0100.wmj=picture 100", "data/text/velandora.txt=captions"}},
     {{"data/images/0100.wmj", 0, "picture 100"}, {"data\\images\\0100.wmj", 0, "picture 100"},
      {"DATA/IMAGES/0100.WMJ", 0, "picture 100"}, {"0100.wmj", 0, "picture 100"},
      {"elsewhere/velandora.txt", 0, "captions"}, {"0200.wmj", 0, "<none>"}}},
    {"tails need no separator boundary", {}, {{"dir/ab.png=ab"}},
     {{"b.png", 0, "ab"}, {"b.png", 1, "ab"}, {"xab.png", 0, "<none>"}}},
    {"whole-path mode matches only the whole request", {}, {{"img/x.png=x", "other/img/y.png=y"}},
     {{"img/x.png", 1, "x"}, {"zzz/img/x.png", 1, "<none>"}, {"zzz/img/x.png", 0, "x"}, {"img/y.png", 1, "y"}}},
    // "pic/a.png" is the whole name and all three in the primary archive end
    // with it; a pass without candidates ends the search, even after ambiguous ones.
    {"ambiguous tails grow one component at a time", {},
     {{"one/pic/a.png=one", "two/pic/a.png=two", "pic/a.png=root"}},
     {{"one/pic/a.png", 0, "one"}, {"x/two/pic/a.png", 0, "two"}, {"pic/a.png", 0, "<none>"},
      {"three/pic/a.png", 0, "<none>"}}},
    {"growing steps over repeated separators", {}, {{"k//a.png=k", "m/a.png=m"}},
     {{"k//a.png", 0, "k"}, {"m/a.png", 0, "m"}}},
    // Neither overrides the other: the primary archive is the first one.
    {"whole-name ties go to the primary archive", {}, {{"img/a.png=first"}, {"img/a.png=second"}},
     {{"a.png", 0, "first"}, {"img/a.png", 0, "first"}, {"x/img/a.png", 0, "<none>"}}},
    {"whole-name ties outside the primary fail", {}, {{"unrelated.txt=u"}, {"img/a.png=second"}, {"img/a.png=third"}},
     {{"img/a.png", 0, "<none>"}, {"unrelated.txt", 0, "u"}}},
    // Other modes than 0 and 1 open disk files only; names are cut to 255 characters.
    {"empty names, alternatives and modes", {"b.txt=b", std::string(255, 'n') + "=cut"}, {{"a.txt=a", "member.txt=m"}},
     {{"", 0, "<none>"}, {"|", 0, "<none>"}, {"missing||b.txt", 0, "b"}, {"missing|", 0, "<none>"},
      {"a.txt|b.txt", 0, "a"}, {"member.txt", 2, "<none>"}, {"res:7", 2, "<none>"}, {"b.txt", 2, "b"},
      {std::string(300, 'n'), 0, "cut"}}},
    {"empty members", {}, {{"empty.txt=", "emptyz.txt~"}}, {{"empty.txt", 0, ""}, {"emptyz.txt", 0, ""}}},
    // Resource numbers are read as strtol reads them; "res:x" is resource 0.
    {"resources", {}, {},
     {{"RES:7", 0, "resource seven\n"}, {"Res: 7", 0, "resource seven\n"}, {"res:x", 0, "<none>"},
      {"res:8", 0, "<none>"}, {"res:65543", 0, "resource seven\n"},  // numbers keep their low 16 bits
      {"res:9|res:300|missing.txt", 0, "second resource, number 300\n"}}},
};

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

TEST(NameResolution, LookupRules) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory scratch;
        for (const std::string& file : c.loose) {
            writeFile(file.substr(0, file.find('=')), file.substr(file.find('=') + 1));
        }
        mountFiles(c.archives);
        for (const Query& q : c.queries) EXPECT_EQ(open(q.request, q.mode), q.expected) << q.request;
    }
}

using NameResolutionTest = InScratch;

// Loose files win over members: the whole name, then the base name under
// DATA/, then the base name alone. Once the working directory's listing is old
// enough to be trusted, misses are answered from it; files made after it must
// still win.
TEST_F(NameResolutionTest, LooseFilesMadeAfterTheListingAreFound) {
    mountFiles({{"img/Late.png=member", "img/other.png=other member"}});
    sleep(3);
    EXPECT_EQ(open("img/late.png"), "member");
    EXPECT_EQ(open("img/other.png"), "other member");
    writeFile("LATE.PNG", "beside");
    EXPECT_EQ(open("img/late.png"), "beside");
    writeFile("Data/other.png", "under data");
    EXPECT_EQ(open("img/other.png"), "under data");
    writeFile("IMG/other.png", "whole path");
    EXPECT_EQ(open("img/other.png"), "whole path");
}

// Members whose data the archive does not hold, of unknown methods, or that
// claim to unpack to more than 2 GiB are not found; the fields of the last
// entry reached are kept all the same.
TEST_F(NameResolutionTest, MembersThatCannotBeReadAreNotFound) {
    TestArchive archive;
    archive.members = {storedMember("fine.txt", "fine"), storedMember("odd.bin", "odd"),
                       TestMember{"huge.lz", {'L', 0xC0, 0x00}, 0x80000000u, 1}, zlibMember("huge.z", "z"),
                       storedMember("cut.txt", "0123456789")};
    archive.members[1].method = 3;
    archive.members[3].unpackedSize = 0xFFFFFFFFu;
    Bytes bytes = archive.bytes();
    bytes.resize(bytes.size() - 4);
    writeFile("a.lcc", bytes);
    mountArchives();
    EXPECT_EQ(open("fine.txt"), "fine");
    for (const char* name : {"odd.bin", "huge.lz", "cut.txt", "huge.z"}) EXPECT_EQ(open(name), "<none>") << name;
    EXPECT_EQ(archiveFileSystem()->foundMethod(), 2u);
    EXPECT_EQ(archiveFileSystem()->foundUnpackedSize(), 0xFFFFFFFFu);
    EXPECT_EQ(archiveFileSystem()->foundNameLength(), 7u);  // with the terminating zero
}

TEST_F(NameResolutionTest, InvalidArchivesAreSkippedAndReleased) {
    writeFile("junk.lcc", std::string(100, 'j'));
    writeFile("short.LCC", "Lind");
    TestArchive good;
    good.members = {storedMember("g.txt", "good")};
    writeFile("good.Lcc", good.bytes());
    mountArchives();
    EXPECT_EQ(archiveFileSystem()->archives().size(), 1u);
    EXPECT_EQ(open("g.txt"), "good");
    // Rejected archives are no longer held: they can be opened again.
    EXPECT_EQ(open("junk.lcc"), std::string(100, 'j'));
    // A mounted archive stays locked against other openers.
    EXPECT_EQ(open("good.Lcc"), "<none>");
}

TEST_F(NameResolutionTest, TheFileSystemStreamForwardsToTheFoundStream) {
    ArchiveFileSystem fs;
    writeFile("file.txt", "0123456789");
    EXPECT_EQ(fs.read(nullptr, 1), 0);
    ASSERT_EQ(fs.find("file.txt", 0), 1);
    EXPECT_EQ(fs.size(), 10);
    EXPECT_EQ(fs.seek(4), 4);
    EXPECT_EQ(fs.seekRelative(2), 6);
    EXPECT_EQ(fs.seekFromEnd(-1), 9);
    EXPECT_EQ(fs.tell(), 9);
    char c = 0;
    EXPECT_EQ(fs.read(&c, 1), 1);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(fs.write("x", 1), 0);
    EXPECT_EQ(fs.flush(), 1);
    fs.close();
    EXPECT_EQ(fs.size(), 0);
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
