// openFile over disk files and mounted archives: every lookup rule and pass.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "lib/archive_file_system.h"
#include "lib/file_system.h"
#include "test_support.h"

namespace {

class NameResolution : public ScratchDirectory {
protected:
    // Writes the archives as files and mounts the working directory.
    void mountFiles(const std::vector<std::pair<std::string, TestArchive>>& archives) {
        for (const auto& archive : archives) writeBytes(archive.first, archive.second.bytes());
        mountArchives();
    }

    // The content that `name` opens to, or "<none>".
    std::string open(const char* name, int32_t mode = 0) {
        Stream* stream = openFile(name, nullptr, mode);
        if (!stream) return "<none>";
        std::string content = readAll(stream);
        delete stream;
        return content;
    }
};

TestArchive namedArchive(const std::string& name, std::vector<TestMember> members) {
    TestArchive archive;
    archive.name = name;
    archive.members = std::move(members);
    return archive;
}

}  // namespace

TEST_F(NameResolution, FindsMembersByBaseNameAndBySuffix) {
    mountFiles({{"show.lcc", namedArchive("show", {storedMember("data/images/0100.wmj", "picture 100"),
                                                   storedMember("data/text/velandora.txt", "captions")})}});
    EXPECT_EQ(open("data/images/0100.wmj"), "picture 100");
    EXPECT_EQ(open("data\\images\\0100.wmj"), "picture 100");
    EXPECT_EQ(open("DATA/IMAGES/0100.WMJ"), "picture 100");
    EXPECT_EQ(open("0100.wmj"), "picture 100");
    EXPECT_EQ(open("elsewhere/velandora.txt"), "captions");
    EXPECT_EQ(open("0200.wmj"), "<none>");
}

TEST_F(NameResolution, TailsNeedNoSeparatorBoundary) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("dir/ab.png", "ab")})}});
    EXPECT_EQ(open("b.png"), "ab");
    EXPECT_EQ(open("b.png", 1), "ab");
    EXPECT_EQ(open("xab.png"), "<none>");
}

TEST_F(NameResolution, WholePathModeMatchesOnlyTheWholeRequest) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("img/x.png", "x"), storedMember("other/img/y.png", "y")})}});
    EXPECT_EQ(open("img/x.png", 1), "x");
    EXPECT_EQ(open("zzz/img/x.png", 1), "<none>");
    EXPECT_EQ(open("zzz/img/x.png", 0), "x");
    EXPECT_EQ(open("img/y.png", 1), "y");
}

TEST_F(NameResolution, AmbiguousTailsGrowOneComponentAtATime) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("one/pic/a.png", "one"), storedMember("two/pic/a.png", "two"),
                                             storedMember("pic/a.png", "root")})}});
    EXPECT_EQ(open("one/pic/a.png"), "one");
    EXPECT_EQ(open("x/two/pic/a.png"), "two");
    // "pic/a.png" is the whole name and all three end with it; all three are
    // in the primary archive, so no single one remains.
    EXPECT_EQ(open("pic/a.png"), "<none>");
    // A pass without candidates ends the search, even after ambiguous passes.
    EXPECT_EQ(open("three/pic/a.png"), "<none>");
}

TEST_F(NameResolution, GrowingStepsOverRepeatedSeparators) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("k//a.png", "k"), storedMember("m/a.png", "m")})}});
    EXPECT_EQ(open("k//a.png"), "k");
    EXPECT_EQ(open("m/a.png"), "m");
}

TEST_F(NameResolution, WholeNameTiesGoToThePrimaryArchive) {
    TestArchive first = namedArchive("first", {storedMember("img/a.png", "first")});
    TestArchive second = namedArchive("second", {storedMember("img/a.png", "second")});
    mountFiles({{"1.lcc", first}, {"2.lcc", second}});
    // Neither overrides the other: the primary archive is the first one.
    ASSERT_NE(archiveFileSystem()->primary(), nullptr);
    EXPECT_STREQ(archiveFileSystem()->primary()->name, "first");
    // Ambiguous on the first pass, and already the whole name.
    EXPECT_EQ(open("a.png"), "first");
    EXPECT_EQ(open("img/a.png"), "first");
    EXPECT_EQ(open("x/img/a.png"), "<none>");
}

TEST_F(NameResolution, WholeNameTiesOutsideThePrimaryFail) {
    TestArchive primary = namedArchive("first", {storedMember("unrelated.txt", "u")});
    TestArchive second = namedArchive("second", {storedMember("img/a.png", "second")});
    TestArchive third = namedArchive("third", {storedMember("img/a.png", "third")});
    mountFiles({{"1.lcc", primary}, {"2.lcc", second}, {"3.lcc", third}});
    EXPECT_EQ(open("img/a.png"), "<none>");
    EXPECT_EQ(open("unrelated.txt"), "u");
}

TEST_F(NameResolution, LooseFilesWinOverMembers) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("data/audio/song.ogg", "member"),
                                             storedMember("data/text/t.txt", "member text"),
                                             storedMember("x/y.bin", "member y")})}});
    EXPECT_EQ(open("data/audio/song.ogg"), "member");
    ASSERT_EQ(mkdir("data", 0755), 0);
    ASSERT_EQ(mkdir("data/audio", 0755), 0);
    writeFile("data/audio/song.ogg", "loose");
    EXPECT_EQ(open("data/audio/song.ogg"), "loose");
    // The base name under DATA/, then the base name alone.
    writeFile("data/t.txt", "under data");
    EXPECT_EQ(open("data/text/t.txt"), "under data");
    writeFile("y.bin", "beside");
    EXPECT_EQ(open("x/y.bin"), "beside");
    int32_t compressed = 7;
    Stream* stream = openFileEx("x/y.bin", nullptr, 0, &compressed);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(compressed, 0);
    delete stream;
}

// Once the working directory's listing is old enough to be trusted, misses
// are answered from it; files made after it must still win.
TEST_F(NameResolution, LooseFilesMadeAfterTheListingAreFound) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("img/Late.png", "member"),
                                             storedMember("img/other.png", "other member")})}});
    sleep(3);
    EXPECT_EQ(open("img/late.png"), "member");
    EXPECT_EQ(open("img/other.png"), "other member");
    writeFile("LATE.PNG", "beside");
    EXPECT_EQ(open("img/late.png"), "beside");
    ASSERT_EQ(mkdir("Data", 0755), 0);
    writeFile("Data/other.png", "under data");
    EXPECT_EQ(open("img/other.png"), "under data");
    ASSERT_EQ(mkdir("IMG", 0755), 0);
    writeFile("IMG/other.png", "whole path");
    EXPECT_EQ(open("img/other.png"), "whole path");
}

TEST_F(NameResolution, EmptyNamesAndAlternativesAreNotFound) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("a.txt", "a")})}});
    writeFile("b.txt", "b");
    EXPECT_EQ(open(""), "<none>");
    EXPECT_EQ(open("|"), "<none>");
    EXPECT_EQ(open("missing||b.txt"), "b");
    EXPECT_EQ(open("missing|"), "<none>");
    EXPECT_EQ(open("a.txt|b.txt"), "a");
}

TEST_F(NameResolution, OtherModesOpenDiskFilesOnly) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("member.txt", "m")})}});
    writeFile("loose.txt", "loose");
    EXPECT_EQ(open("member.txt", 2), "<none>");
    int32_t size = 0;
    Stream* stream = openFile("loose.txt", &size, 2);
    ASSERT_NE(stream, nullptr);
    EXPECT_NE(dynamic_cast<FileStream*>(stream), nullptr);
    EXPECT_EQ(size, 5);
    delete stream;
    EXPECT_EQ(open("res:7", 2), "<none>");
}

TEST_F(NameResolution, SizesAndCompressionAreReported) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("s.txt", "stored!"), zlibMember("z.txt", "zipped text")})}});
    int32_t size = -1;
    int32_t compressed = -1;
    Stream* stream = openFileEx("z.txt", &size, 0, &compressed);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(size, 11);
    EXPECT_EQ(compressed, 1);
    EXPECT_EQ(readAll(stream), "zipped text");
    delete stream;
    EXPECT_EQ(archiveFileSystem()->foundMethod(), 2u);
    EXPECT_EQ(archiveFileSystem()->foundUnpackedSize(), 11u);
    EXPECT_EQ(archiveFileSystem()->foundNameLength(), 6u);
    stream = openFileEx("s.txt", &size, 0, &compressed);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(compressed, 0);
    delete stream;
}

TEST_F(NameResolution, StoredMembersOfMappedArchivesAreNotCopied) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("s.txt", "stored!")})}});
    Stream* stream = openFile("s.txt");
    ASSERT_NE(stream, nullptr);
    MemoryStream* member = dynamic_cast<MemoryStream*>(stream);
    ASSERT_NE(member, nullptr);
    MemoryStream* archive = dynamic_cast<MemoryStream*>(archiveFileSystem()->archives()[0]->stream);
    ASSERT_NE(archive, nullptr);
    EXPECT_GE(member->data(), archive->data());
    EXPECT_LT(member->data(), archive->data() + archive->size());
    EXPECT_EQ(member->isOwned(), 0);
    delete stream;
}

TEST_F(NameResolution, EmptyStoredMemberIsAnEmptyStream) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("empty.txt", ""), zlibMember("emptyz.txt", "")})}});
    for (const char* name : {"empty.txt", "emptyz.txt"}) {
        int32_t size = -1;
        Stream* stream = openFile(name, &size);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_EQ(size, 0);
        EXPECT_EQ(stream->atEnd(), 1);
        delete stream;
    }
}

TEST_F(NameResolution, MembersBeyondTheEndOfTheArchiveAreNotFound) {
    TestArchive archive = namedArchive("a", {storedMember("fine.txt", "fine"), storedMember("cut.txt", "0123456789")});
    std::vector<uint8_t> bytes = archive.bytes();
    bytes.resize(bytes.size() - 4);
    writeBytes("a.lcc", bytes);
    mountArchives();
    EXPECT_EQ(open("fine.txt"), "fine");
    EXPECT_EQ(open("cut.txt"), "<none>");
}

TEST_F(NameResolution, UnknownMethodsAreNotFound) {
    TestMember odd = storedMember("odd.bin", "odd");
    odd.method = 3;
    mountFiles({{"a.lcc", namedArchive("a", {odd})}});
    EXPECT_EQ(open("odd.bin"), "<none>");
}

TEST_F(NameResolution, InvalidArchivesAreSkippedAndReleased) {
    writeFile("junk.lcc", std::string(100, 'j'));
    writeFile("short.LCC", "Lind");
    mountFiles({{"good.Lcc", namedArchive("good", {storedMember("g.txt", "good")})}});
    EXPECT_EQ(archiveFileSystem()->archives().size(), 1u);
    EXPECT_EQ(open("g.txt"), "good");
    // Rejected archives are no longer held: they can be opened again.
    EXPECT_EQ(open("junk.lcc"), std::string(100, 'j'));
    // A mounted archive stays locked against other openers.
    EXPECT_EQ(open("good.Lcc"), "<none>");
}

TEST_F(NameResolution, MountingAgainReplacesTheFileSystem) {
    mountFiles({{"a.lcc", namedArchive("a", {storedMember("a.txt", "a")})}});
    EXPECT_EQ(open("a.txt"), "a");
    mountFiles({{"b.lcc", namedArchive("b", {storedMember("b.txt", "b")})}});
    EXPECT_EQ(open("b.txt"), "b");
    EXPECT_EQ(open("a.txt"), "a");
    EXPECT_EQ(archiveFileSystem()->archives().size(), 2u);
}

TEST_F(NameResolution, NamesAreCutTo255Characters) {
    std::string longName(300, 'n');
    writeFile(std::string(255, 'n'), "cut");
    EXPECT_EQ(open(longName.c_str()), "cut");
}

TEST_F(NameResolution, TheFileSystemStreamForwardsToTheFoundStream) {
    ArchiveFileSystem fs;
    writeFile("file.txt", "0123456789");
    EXPECT_EQ(fs.size(), 0);
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
    EXPECT_EQ(fs.find("", 0), 0);
}
