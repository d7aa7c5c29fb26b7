// Mounting one archive: every rejection rule and the member offsets.
#include <memory>

#include "lib/archive_file_system.h"
#include "test_support.h"

namespace {

TestArchive simpleArchive() {
    TestArchive archive;
    archive.members = {storedMember("a.txt", "alpha"), storedMember("dir/b.txt", "bravo!")};
    return archive;
}

Bytes patched(Bytes bytes, size_t at, std::initializer_list<uint8_t> values) {
    for (uint8_t value : values) bytes.at(at++) = value;
    return bytes;
}

// `directory` as a stored directory of the stated size, with `data` after it.
Bytes withDirectory(const Bytes& directory, const std::string& data = "xx", size_t extra = 0) {
    return archiveWithDirectory(0, 0, directory, static_cast<uint32_t>(directory.size() + extra), bytesOf(data));
}

}  // namespace

// Members are read at their offsets whether the archive is in memory or left
// in its stream.
TEST(ArchiveMount, MembersLieBackToBackFromTheDataStart) {
    TestArchive archive;
    archive.members = {TestMember{"ten", Bytes(10, 1), 10, 0}, TestMember{"zero", {}, 0, 0},
                       TestMember{"seven", Bytes(7, 2), 7, 0}};
    // Pad the note so that the directory is exactly 100 bytes: data starts at 47 + 100.
    archive.note = std::string(100 - (archive.directory().size() - archive.note.size()), 'n');
    ASSERT_EQ(archive.directory().size(), 100u);
    const int64_t offsets[] = {147, 157, 157};
    for (int32_t resident : {1, 0}) {
        ArchiveFileSystem fs;
        ASSERT_EQ(mountBytes(fs, archive.bytes(), resident), 1);
        EXPECT_EQ(fs.archives()[0]->note, archive.note);
        ASSERT_EQ(fs.entries().size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(testing::Message() << fs.entries()[i]->name << " resident " << resident);
            EXPECT_EQ(fs.entries()[i]->offset, offsets[i]);
            ASSERT_EQ(fs.openEntry(fs.entries()[i]), 1);
            std::unique_ptr<Stream> member(fs.takeCurrent());
            const Bytes& expected = archive.members[i].packed;
            EXPECT_EQ(readAll(member.get()), std::string(expected.begin(), expected.end()));
        }
    }
}

// Each row mounts from memory and, where the two differ, from a stream left in place.
TEST(ArchiveMount, AcceptsOrRejectsAsTheRowSays) {
    TestArchive zlib = simpleArchive(), empty;
    zlib.directoryMethod = 2;
    const Bytes good = simpleArchive().bytes(), directory = simpleArchive().directory();
    struct Row {
        const char* name;
        Bytes bytes;
        int32_t mounted;
        size_t entries;
    };
    const Row rows[] = {
        {"zlib directory", zlib.bytes(), 1, 2},
        {"no entries", empty.bytes(), 1, 0},
        {"negative entry count means none", withDirectory(patched(empty.directory(), 12, {255, 255, 255, 255})), 1, 0},
        {"odd magic terminator", patched(good, 30, {0x42}), 1, 2},
        {"header only", Bytes(good.begin(), good.begin() + 47), 0, 0},
        {"magic ends wrong", patched(good, 29, {0}), 0, 0},
        {"version 2", patched(good, 33, {2}), 0, 0},
        {"kind 3", patched(good, 31, {3}), 0, 0},
        {"directory method 3", patched(good, 35, {3}), 0, 0},
        // Nothing of the claimed 2^31 bytes may be allocated or unpacked.
        {"directory beyond the end", patched(good, 39, {0, 0, 0, 0x80}), 0, 0},
        {"directory unpacked size over 2 GiB", patched(zlib.bytes(), 43, {0, 0, 0, 0x80}), 0, 0},
        {"stored directory sizes disagree", withDirectory(directory, "alphabravo!", 1), 0, 0},
        {"cut in the sub-header", withDirectory(Bytes(directory.begin(), directory.begin() + 10)), 0, 0},
        {"cut in an entry header", withDirectory(Bytes(directory.begin(), directory.end() - 30)), 0, 0},
        {"huge entry count", withDirectory(patched(directory, 12, {255, 255, 255, 0x7F})), 0, 0},
        {"huge name length", withDirectory(patched(directory, 0, {0xF0, 0, 0, 0xFF})), 0, 0},
        {"cut in the last name", withDirectory(Bytes(directory.begin(), directory.end() - 3)), 0, 0},
    };
    for (const Row& row : rows) {
        for (int32_t resident : {1, 0}) {
            SCOPED_TRACE(testing::Message() << row.name << (resident ? " from memory" : " in place"));
            ArchiveFileSystem fs;
            EXPECT_EQ(mountBytes(fs, row.bytes, resident), row.mounted);
            EXPECT_EQ(fs.archives().size(), size_t(row.mounted));
            EXPECT_EQ(fs.entries().size(), row.entries);
            if (!row.mounted) continue;
            EXPECT_EQ(fs.archives()[0]->memoryResident, resident);
            EXPECT_EQ(fs.archives()[0]->entryCount, static_cast<int32_t>(row.entries));
        }
    }
}

TEST(ArchiveMount, DuplicateNamesInAnyCaseAreRejected) {
    TestArchive first = simpleArchive(), second = simpleArchive(), third = simpleArchive();
    first.name = "Shared";
    second.name = "sHARED";
    third.kind = 5;
    ArchiveFileSystem fs;
    EXPECT_EQ(mountBytes(fs, first.bytes()), 1);
    EXPECT_EQ(mountBytes(fs, second.bytes()), 0);
    EXPECT_EQ(fs.archives().size(), 1u);
    EXPECT_EQ(fs.entries().size(), 2u);
    // Prioritised archives have no name and never collide.
    EXPECT_EQ(mountBytes(fs, third.bytes()), 1);
    EXPECT_EQ(mountBytes(fs, third.bytes()), 1);
}

// A stream the file system does not own is neither closed nor deleted,
// whether it is refused or mounted.
TEST(ArchiveMount, AStreamNotOwnedIsLeftAlone) {
    Bytes bytes = simpleArchive().bytes();
    MemoryStream stream(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
    for (uint8_t first : {'X', 'L'}) {
        bytes[0] = first;
        {
            ArchiveFileSystem fs;
            EXPECT_EQ(fs.mount(&stream, 0, 1), first == 'L');
        }
        EXPECT_EQ(stream.seek(0), 0);
        EXPECT_EQ(stream.readU8(), first);
    }
}
