// Mounting one archive: every rejection rule and the member offsets.
#include <cstring>

#include "lib/archive_file_system.h"
#include "test_support.h"

namespace {

// Mounts `bytes` from a memory stream the file system owns.
int32_t mountBytes(ArchiveFileSystem& fs, const std::vector<uint8_t>& bytes, int32_t resident = 1) {
    MemoryStream* stream = new MemoryStream();
    stream->allocate(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(stream->data(), bytes.data(), bytes.size());
    return fs.mount(stream, 1, resident);
}

TestArchive simpleArchive() {
    TestArchive archive;
    archive.members = {storedMember("a.txt", "alpha"), storedMember("dir/b.txt", "bravo!")};
    return archive;
}

}  // namespace

TEST(ArchiveMount, AcceptsAWellFormedArchive) {
    ArchiveFileSystem fs;
    ASSERT_EQ(mountBytes(fs, simpleArchive().bytes()), 1);
    ASSERT_EQ(fs.archives().size(), 1u);
    const ArchiveRecord* archive = fs.archives()[0];
    EXPECT_STREQ(archive->name, "archive");
    EXPECT_STREQ(archive->baseName, "");
    EXPECT_STREQ(archive->note, "note");
    EXPECT_EQ(archive->priority, 0u);
    EXPECT_EQ(archive->entryCount, 2);
    EXPECT_EQ(archive->memoryResident, 1);
    ASSERT_EQ(fs.entries().size(), 2u);
    EXPECT_STREQ(fs.entries()[1]->name, "dir/b.txt");
    EXPECT_EQ(fs.entries()[1]->packedSize, 6u);
    EXPECT_EQ(fs.entries()[1]->archive, archive);
}

TEST(ArchiveMount, MemberOffsetsRunFromTheDataStart) {
    TestArchive archive;
    archive.members = {TestMember{"ten", std::vector<uint8_t>(10, 1), 10, 0}, TestMember{"zero", {}, 0, 0},
                       TestMember{"seven", std::vector<uint8_t>(7, 2), 7, 0}};
    // Pad the note so that the directory is exactly 100 bytes.
    size_t fixed = archive.directory().size() - archive.note.size();
    archive.note = std::string(100 - fixed, 'n');
    ASSERT_EQ(archive.directory().size(), 100u);
    ArchiveFileSystem fs;
    ASSERT_EQ(mountBytes(fs, archive.bytes()), 1);
    ASSERT_EQ(fs.entries().size(), 3u);
    EXPECT_EQ(fs.entries()[0]->offset, 147);
    EXPECT_EQ(fs.entries()[1]->offset, 157);
    EXPECT_EQ(fs.entries()[2]->offset, 157);
}

TEST(ArchiveMount, AcceptsAZlibDirectoryFromMemoryOrNot) {
    TestArchive archive = simpleArchive();
    archive.directoryMethod = 2;
    for (int32_t resident : {1, 0}) {
        ArchiveFileSystem fs;
        ASSERT_EQ(mountBytes(fs, archive.bytes(), resident), 1);
        EXPECT_EQ(fs.entries().size(), 2u);
        EXPECT_EQ(fs.archives()[0]->memoryResident, resident);
    }
}

TEST(ArchiveMount, AcceptsAPrioritisedArchive) {
    TestArchive archive = simpleArchive();
    archive.kind = 5;
    archive.priority = 9;
    ArchiveFileSystem fs;
    ASSERT_EQ(mountBytes(fs, archive.bytes()), 1);
    EXPECT_EQ(fs.archives()[0]->priority, 9u);
    EXPECT_EQ(fs.archives()[0]->name, nullptr);
    EXPECT_EQ(fs.archives()[0]->baseName, nullptr);
    EXPECT_STREQ(fs.archives()[0]->note, "note");
}

TEST(ArchiveMount, ZeroEntriesMount) {
    TestArchive archive;
    ArchiveFileSystem fs;
    ASSERT_EQ(mountBytes(fs, archive.bytes()), 1);
    EXPECT_EQ(fs.archives().size(), 1u);
    EXPECT_TRUE(fs.entries().empty());
}

TEST(ArchiveMount, NegativeEntryCountMeansNoMembers) {
    TestArchive archive;
    std::vector<uint8_t> directory = archive.directory();
    directory[12] = directory[13] = directory[14] = directory[15] = 0xFF;  // -1
    ArchiveFileSystem fs;
    ASSERT_EQ(mountBytes(fs, archiveWithDirectory(0, 0, directory, static_cast<uint32_t>(directory.size()), {})), 1);
    EXPECT_TRUE(fs.entries().empty());
    EXPECT_EQ(fs.archives()[0]->entryCount, 0);
}

TEST(ArchiveMount, TooShortFilesAreRejected) {
    std::vector<uint8_t> bytes = TestArchive().bytes();
    bytes.resize(47);
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, bytes), 0);
    EXPECT_EQ(mountBytes(fs, {}), 0);
    EXPECT_TRUE(fs.archives().empty());
}

TEST(ArchiveMount, TheMagicMustMatchButItsTerminatorIsFree) {
    std::vector<uint8_t> bytes = simpleArchive().bytes();
    std::vector<uint8_t> wrongEnd = bytes;
    wrongEnd[29] = 0x00;
    std::vector<uint8_t> wrongLetter = bytes;
    wrongLetter[0] = 'l';
    std::vector<uint8_t> oddTerminator = bytes;
    oddTerminator[30] = 0x42;
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, wrongEnd), 0);
    EXPECT_EQ(mountBytes(fs, wrongLetter), 0);
    EXPECT_EQ(mountBytes(fs, oddTerminator), 1);
}

TEST(ArchiveMount, VersionKindAndMethodMustBeKnown) {
    TestArchive version2 = simpleArchive();
    version2.version = 2;
    std::vector<uint8_t> kind3 = simpleArchive().bytes();
    kind3[31] = 3;
    std::vector<uint8_t> method3 = simpleArchive().bytes();
    method3[35] = 3;
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, version2.bytes()), 0);
    EXPECT_EQ(mountBytes(fs, kind3), 0);
    EXPECT_EQ(mountBytes(fs, method3), 0);
    EXPECT_TRUE(fs.archives().empty());
}

TEST(ArchiveMount, StoredDirectorySizesMustAgree) {
    std::vector<uint8_t> directory = simpleArchive().directory();
    std::vector<uint8_t> bytes =
        archiveWithDirectory(0, 0, directory, static_cast<uint32_t>(directory.size() + 1), bytesOf("alphabravo!"));
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, bytes), 0);
}

TEST(ArchiveMount, ADirectoryBeyondTheEndIsRejected) {
    std::vector<uint8_t> bytes = simpleArchive().bytes();
    // Claim a packed directory of 2^31 bytes; nothing of that size may be allocated.
    bytes[39] = 0;
    bytes[40] = 0;
    bytes[41] = 0;
    bytes[42] = 0x80;
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, bytes), 0);
    EXPECT_EQ(mountBytes(fs, bytes, 0), 0);
}

TEST(ArchiveMount, TruncatedDirectoriesAreRejected) {
    std::vector<uint8_t> full = simpleArchive().directory();
    // Cut inside the sub-header, a string, an entry header and a name.
    for (size_t cut : {size_t(10), size_t(18), full.size() - 30, full.size() - 3}) {
        std::vector<uint8_t> directory(full.begin(), full.begin() + static_cast<long>(cut));
        ArchiveFileSystem fs;
        EXPECT_EQ(mountBytes(fs, archiveWithDirectory(0, 0, directory, static_cast<uint32_t>(cut), bytesOf("xx"))), 0)
            << cut;
    }
}

TEST(ArchiveMount, HugeCountsAndLengthsAreRejectedWithoutAllocating) {
    TestArchive archive = simpleArchive();
    std::vector<uint8_t> directory = archive.directory();
    std::vector<uint8_t> hugeCount = directory;
    hugeCount[12] = 0xFF;
    hugeCount[13] = 0xFF;
    hugeCount[14] = 0xFF;
    hugeCount[15] = 0x7F;
    std::vector<uint8_t> hugeName = directory;
    hugeName[0] = 0xF0;
    hugeName[3] = 0xFF;
    std::vector<uint8_t> hugeEntryName = directory;
    size_t entry = 16 + archive.name.size() + 1 + 1 + archive.note.size() + 1;
    hugeEntryName[entry + 3] = 0xFF;
    for (const auto& bad : {hugeCount, hugeName, hugeEntryName}) {
        ArchiveFileSystem fs;
        EXPECT_EQ(mountBytes(fs, archiveWithDirectory(0, 0, bad, static_cast<uint32_t>(bad.size()), bytesOf("x"))), 0);
    }
}

TEST(ArchiveMount, DuplicateNamesInAnyCaseAreRejected) {
    TestArchive first = simpleArchive();
    first.name = "Shared";
    TestArchive second = simpleArchive();
    second.name = "sHARED";
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, first.bytes()), 1);
    EXPECT_EQ(mountBytes(fs, second.bytes()), 0);
    EXPECT_EQ(fs.archives().size(), 1u);
    EXPECT_EQ(fs.entries().size(), 2u);
    // Prioritised archives have no name and never collide.
    TestArchive third = simpleArchive();
    third.kind = 5;
    EXPECT_EQ(mountBytes(fs, third.bytes()), 1);
    EXPECT_EQ(mountBytes(fs, third.bytes()), 1);
}

TEST(ArchiveMount, AStreamNotOwnedIsLeftAlone) {
    std::vector<uint8_t> bytes = simpleArchive().bytes();
    bytes[0] = 'X';
    MemoryStream stream(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
    {
        ArchiveFileSystem fs;
        EXPECT_EQ(fs.mount(&stream, 0, 1), 0);
    }
    EXPECT_EQ(stream.size(), static_cast<int32_t>(bytes.size()));
    bytes[0] = 'L';
    {
        ArchiveFileSystem fs;
        EXPECT_EQ(fs.mount(&stream, 0, 1), 1);
    }
    // The file system did not own it, so it is still usable.
    EXPECT_EQ(stream.seek(0), 0);
    EXPECT_EQ(stream.readU8(), 'L');
}
