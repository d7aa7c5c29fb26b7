// Archives in the working directory, mounted as the player mounts them and
// their members opened by name: damaged headers and directories are not
// mounted, members whose data the archive does not hold are not found, and
// packed data that does not unpack to its stated size is the fatal report.
#include "bad_input_support.h"
#include "kit/archive/lcc_writer.h"
#include "lib/archive_file_system.h"
#include "lib/archive_format.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

const char* const kNames[3] = {"data/a.txt", "data/b.txt", "data/c.txt"};

Bytes content(int member) {
    std::string text = "member " + std::to_string(member) + ": ";
    for (int i = 0; i < 40 + 30 * member; ++i) text += char('a' + (i * (member + 3)) % 26);
    return bytesOf(text);
}

// A named archive ("bad", base "data", note "n") of the three members.
LccArchiveLayout layout(uint32_t directoryMethod, uint32_t memberMethod) {
    return LccArchiveLayout{false, "bad", "data", 0, "n", directoryMethod, memberMethod};
}

std::vector<LccMember> members(bool empty = false) {
    std::vector<LccMember> list;
    for (int i = 0; i < 3; ++i) list.push_back({kNames[i], empty ? Bytes() : content(i), -1});
    return list;
}

Bytes archive(uint32_t directoryMethod = 0, uint32_t memberMethod = 0) {
    return buildLccArchive(layout(directoryMethod, memberMethod), members());
}

uint32_t u32At(const Bytes& bytes, size_t at) {
    return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) | uint32_t(bytes[at + 3]) << 24;
}

// Field offsets in an archive with a stored directory.
constexpr size_t kCountOffset = kArchiveHeaderSize + 12;
constexpr size_t kFirstEntry = kArchiveHeaderSize + 16 + 4 + 5 + 2;
size_t entryField(int entry, int field) {  // field 0 name length, 1 packed, 2 unpacked, 3 method
    size_t at = kFirstEntry;
    for (int i = 0; i < entry; ++i) at += 16 + std::string(kNames[i]).size() + 1;
    return at + 4 * size_t(field);
}
// Where member `entry`'s packed data starts.
size_t memberData(const Bytes& bytes, int entry) {
    size_t at = kArchiveHeaderSize + u32At(bytes, kDirectoryPackedOffset);
    for (int i = 0; i < entry; ++i) at += u32At(bytes, entryField(i, 1));
    return at;
}

Bytes withMemberBytes(Bytes bytes, int entry, uint8_t value) {
    for (size_t i = memberData(bytes, entry); i < memberData(bytes, entry + 1) && i < bytes.size(); ++i)
        bytes[i] = value;
    return bytes;
}

Bytes withDirectoryBytes(Bytes bytes, uint8_t value) {
    for (size_t i = kArchiveHeaderSize; i < memberData(bytes, 0); ++i) bytes[i] = value;
    return bytes;
}

// A field of entry `entry` (stored directory only).
uint32_t fieldOf(const Bytes& bytes, int entry, int field) { return u32At(bytes, entryField(entry, field)); }

// Which members a row finds, a b c: 1 read back whole, e found and empty, 0 not
// found, - not found as the archive is refused; "fatal": mounting or opening
// ends the process with the fatal report.
using ArchiveRow = Row<std::string>;
const char* const notMounted = "---";
const char* const allFound = "111";
const char* const fatal = "fatal";

const std::vector<ArchiveRow> kArchiveRows = {
    {"empty", [] { return Bytes(); }, notMounted},
    {"one_byte", [] { return Bytes(1, 'L'); }, notMounted},
    {"cut_in_the_magic", [] { return truncated(archive(), 20); }, notMounted},
    {"header_only", [] { return truncated(archive(), kArchiveHeaderSize); }, notMounted},
    {"cut_in_the_directory", [] { return truncated(archive(), kFirstEntry + 20); }, notMounted},
    {"cut_at_the_first_member", [] { Bytes b = archive(); return truncated(b, memberData(b, 0)); }, "000"},
    {"stored_cut_in_the_last_member", [] { Bytes b = archive(); return truncated(b, b.size() - 3); }, "110"},
    {"lz_cut_in_the_last_member", [] { Bytes b = archive(0, 1); return truncated(b, b.size() - 3); }, "110"},
    {"zlib_cut_in_the_last_member", [] { Bytes b = archive(0, 2); return truncated(b, b.size() - 3); }, "110"},
    {"packed_directory_cut", [] { return truncated(archive(2, 0), kArchiveHeaderSize + 5); }, notMounted},
    {"garbage", [] { return garbage(4096, 3); }, notMounted},
    {"bad_magic", [] { Bytes b = archive(); b[3] ^= 0x20; return b; }, notMounted},
    {"other_version", [] { return patchedU16(archive(), kVersionOffset, 2); }, notMounted},
    {"unknown_kind", [] { return patchedU16(archive(), kKindOffset, 3); }, notMounted},
    {"unknown_directory_method", [] { return patchedU32(archive(), kDirectoryMethodOffset, 7); }, notMounted},
    {"directory_beyond_the_end", [] { return patchedU32(archive(), kDirectoryPackedOffset, 0x7FFFFFF0); },
     notMounted},
    {"directory_size_over_2_GiB", [] { return patchedU32(archive(2, 0), kDirectoryUnpackedOffset, 0x80000000u); },
     notMounted},
    {"directory_size_disagrees", [] { return patchedU32(archive(), kDirectoryUnpackedOffset, 12); }, notMounted},
    {"entry_count_too_large", [] { return patchedU32(archive(), kCountOffset, 0x7FFFFFFF); }, notMounted},
    {"entry_count_one_too_many", [] { return patchedU32(archive(), kCountOffset, 4); }, notMounted},
    {"entry_count_negative", [] { return patchedU32(archive(), kCountOffset, 0xFFFFFFFFu); }, "000"},
    {"name_length_beyond_the_directory", [] { return patchedU32(archive(), entryField(0, 0), 0xFFFFFFF0u); },
     notMounted},
    {"member_size_beyond_the_end", [] { return patchedU32(archive(), entryField(1, 1), 0xFFFFFF00u); },
     "100"},
    {"member_of_unknown_method", [] { return patchedU32(archive(), entryField(1, 3), 9); }, "101"},
    {"lz_member_over_2_GiB", [] { return patchedU32(archive(0, 1), entryField(1, 2), 0x80000000u); }, "101"},
    {"zlib_member_over_2_GiB", [] { return patchedU32(archive(0, 2), entryField(1, 2), 0xFFFFFFFFu); },
     "101"},
    {"lz_member_one_byte_longer", [] { Bytes b = archive(0, 1); return patchedU32(b, entryField(1, 2), fieldOf(b, 1, 2) + 1); },
     fatal},
    {"lz_member_one_byte_shorter", [] { Bytes b = archive(0, 1); return patchedU32(b, entryField(1, 2), fieldOf(b, 1, 2) - 1); },
     fatal},
    {"lz_member_without_its_last_byte", [] { Bytes b = archive(0, 1); return patchedU32(b, entryField(2, 1), fieldOf(b, 2, 1) - 1); },
     fatal},
    {"zlib_member_one_byte_longer", [] { Bytes b = archive(0, 2); return patchedU32(b, entryField(1, 2), fieldOf(b, 1, 2) + 1); },
     fatal},
    {"zlib_member_one_byte_shorter", [] { Bytes b = archive(0, 2); return patchedU32(b, entryField(1, 2), fieldOf(b, 1, 2) - 1); },
     fatal},
    {"zlib_member_garbage", [] { return withMemberBytes(archive(0, 2), 1, 0xFF); }, fatal},
    {"zlib_directory_garbage", [] { return withDirectoryBytes(archive(2, 0), 0xFF); }, fatal},
    {"lz_directory_one_byte_longer", [] { Bytes b = archive(1, 0); return patchedU32(b, kDirectoryUnpackedOffset, u32At(b, kDirectoryUnpackedOffset) + 1); },
     fatal},
    {"stored_whole", [] { return archive(0, 0); }, allFound},
    {"lz_whole", [] { return archive(1, 1); }, allFound},
    {"zlib_whole", [] { return archive(2, 2); }, allFound},
    {"empty_members_of_each_method", [] {
         std::vector<LccMember> list = members(true);
         for (int i = 0; i < 3; ++i) list[i].method = i;
         return buildLccArchive(layout(1, 0), list);
     }, "eee"},
    {"no_entries", [] { return buildLccArchive(layout(2, 0), {}); }, "000"},
};

void openEveryMember() {
    for (const char* name : kNames) delete openFile(name);
}

class ArchiveMatrix : public ScratchTest, public ::testing::WithParamInterface<ArchiveRow> {};

TEST_P(ArchiveMatrix, MountsAndFindsAsTheRowSays) {
    const ArchiveRow& row = GetParam();
    writeFile("bad.lcc", row.make());
    if (row.expected == fatal) {
        EXPECT_EXIT({ mountArchives(); openEveryMember(); }, ::testing::ExitedWithCode(kFatalStatus),
                    "Fatal Error: .*Assertion failed!");
        return;
    }
    mountArchives();
    ASSERT_NE(archiveFileSystem(), nullptr);
    EXPECT_EQ(archiveFileSystem()->archives().size(), row.expected == notMounted ? 0u : 1u);
    for (int i = 0; i < 3; ++i) {
        int32_t size = -1;
        Stream* stream = openFile(kNames[i], &size);
        EXPECT_EQ(stream != nullptr, row.expected[i] == '1' || row.expected[i] == 'e') << kNames[i];
        if (!stream) continue;
        const Bytes expected = row.expected[i] == 'e' ? Bytes() : content(i);
        ASSERT_EQ(size, int32_t(expected.size())) << kNames[i];
        Bytes read(expected.size() + 8, 0);
        EXPECT_EQ(stream->read(read.data(), int32_t(read.size())), int32_t(expected.size()));
        read.resize(expected.size());
        EXPECT_EQ(read, expected) << kNames[i];
        delete stream;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ArchiveMatrix, ::testing::ValuesIn(kArchiveRows), rowName<std::string>);

}  // namespace
