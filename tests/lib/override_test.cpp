// Override resolution between archives and the choice of the primary archive.
#include <cstring>
#include <string>

#include "lib/archive_file_system.h"
#include "test_support.h"

namespace {

int32_t mountArchive(ArchiveFileSystem& fs, const TestArchive& archive) {
    std::vector<uint8_t> bytes = archive.bytes();
    MemoryStream* stream = new MemoryStream();
    stream->allocate(static_cast<int32_t>(bytes.size()));
    std::memcpy(stream->data(), bytes.data(), bytes.size());
    return fs.mount(stream, 1, 1);
}

TestArchive named(const std::string& name, const std::string& base, std::vector<std::string> members) {
    TestArchive archive;
    archive.name = name;
    archive.baseName = base;
    for (const std::string& member : members) archive.members.push_back(storedMember(member, name + ":" + member));
    return archive;
}

TestArchive prioritised(uint32_t priority, const std::string& tag, std::vector<std::string> members) {
    TestArchive archive;
    archive.kind = 5;
    archive.priority = priority;
    for (const std::string& member : members) archive.members.push_back(storedMember(member, tag + ":" + member));
    return archive;
}

// "archive-tag:member" for every visible entry, in list order.
std::vector<std::string> visible(ArchiveFileSystem& fs) {
    std::vector<std::string> result;
    for (EntryRecord* entry : fs.entries()) {
        fs.openEntry(entry);
        Stream* stream = fs.takeCurrent();
        result.push_back(readAll(stream));
        delete stream;
    }
    return result;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(Overrides, AnArchiveReplacesTheMembersOfItsBase) {
    ArchiveFileSystem fs;
    ASSERT_EQ(mountArchive(fs, named("base", "", {"gfx/x.png", "gfx/only_base.png"})), 1);
    ASSERT_EQ(mountArchive(fs, named("patch", "BASE", {"GFX/X.PNG", "gfx/new.png"})), 1);
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"base:gfx/only_base.png", "patch:GFX/X.PNG", "patch:gfx/new.png"}));
    EXPECT_STREQ(fs.primary()->name, "patch");
    EXPECT_EQ(fs.archives()[1]->visited, 1);
}

TEST(Overrides, OrderOfMountingDoesNotMatter) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("patch", "base", {"gfx/x.png"}));
    mountArchive(fs, named("base", "", {"gfx/x.png"}));
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"patch:gfx/x.png"}));
    EXPECT_STREQ(fs.primary()->name, "patch");
}

TEST(Overrides, ChainsResolveFromTheBottomUp) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("top", "middle", {"a", "b"}));
    mountArchive(fs, named("middle", "bottom", {"b", "c"}));
    mountArchive(fs, named("bottom", "", {"a", "b", "c", "d"}));
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"top:a", "top:b", "middle:c", "bottom:a", "bottom:d"}));
    // "bottom:a" survives: top overrides middle only, and middle has no "a".
    EXPECT_STREQ(fs.primary()->name, "top");
}

TEST(Overrides, PrioritiesReplaceSmallerPriorities) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("plain", "", {"x", "y"}));
    mountArchive(fs, prioritised(1, "p1", {"x", "z"}));
    mountArchive(fs, prioritised(2, "p2", {"x", "z", "y"}));
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"p2:x", "p2:z", "p2:y"}));
    EXPECT_EQ(fs.primary()->priority, 2u);
}

TEST(Overrides, PriorityZeroReplacesNothing) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("plain", "", {"x"}));
    mountArchive(fs, prioritised(0, "p0", {"x"}));
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"plain:x", "p0:x"}));
    EXPECT_STREQ(fs.primary()->name, "plain");
}

TEST(Overrides, EmptyArchivesStillTakePart) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("base", "", {"x"}));
    mountArchive(fs, named("empty", "base", {}));
    fs.finishMount();
    EXPECT_EQ(visible(fs), (Strings{"base:x"}));
    EXPECT_STREQ(fs.primary()->name, "empty");
}

TEST(Overrides, WithoutOverridesTheFirstArchiveIsPrimary) {
    ArchiveFileSystem fs;
    fs.finishMount();
    EXPECT_EQ(fs.primary(), nullptr);
    mountArchive(fs, named("one", "", {"x"}));
    mountArchive(fs, named("two", "", {"x"}));
    fs.finishMount();
    EXPECT_STREQ(fs.primary()->name, "one");
    EXPECT_EQ(fs.archives()[0]->visited, 0);
}

TEST(Overrides, CyclesEnd) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("a", "b", {"x", "y"}));
    mountArchive(fs, named("b", "a", {"x", "z"}));
    fs.finishMount();
    // a resolves b first, and b removes a's x; a then has only y to replace.
    EXPECT_EQ(visible(fs), (Strings{"a:y", "b:x", "b:z"}));
    EXPECT_STREQ(fs.primary()->name, "a");
}

TEST(Overrides, LookupsSeeOnlyTheWinners) {
    ArchiveFileSystem fs;
    mountArchive(fs, named("base", "", {"img/a.png"}));
    mountArchive(fs, named("patch", "base", {"img/a.png"}));
    fs.finishMount();
    ASSERT_EQ(fs.find("nowhere/img/a.png", 0), 1);
    Stream* stream = fs.takeCurrent();
    EXPECT_EQ(readAll(stream), "patch:img/a.png");
    delete stream;
}
