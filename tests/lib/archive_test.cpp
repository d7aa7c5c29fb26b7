// Mounting archives: every rejection rule and the member offsets; overrides
// between archives and the choice of the primary one; and the member index,
// which must give exactly the candidates of a plain scan.
#include <algorithm>
#include <cctype>
#include <memory>
#include <random>
#include <string>

#include "lib/archive_file_system.h"
#include "lib/archive_index.h"
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

using Strings = std::vector<std::string>;

// "name:base:member,member" for a named archive, "=priority:tag:member,..." for a prioritised one.
TestArchive parse(const std::string& text) {
    TestArchive archive;
    size_t first = text.find(':'), second = text.find(':', first + 1);
    std::string tag = text.substr(0, first);
    if (tag[0] == '=') {
        archive.kind = 5;
        archive.priority = static_cast<uint32_t>(std::stoul(tag.substr(1)));
        tag = text.substr(first + 1, second - first - 1);
    } else {
        archive.name = tag;
        archive.baseName = text.substr(first + 1, second - first - 1);
    }
    for (size_t at = second + 1; at < text.size();) {
        size_t end = std::min(text.find(',', at), text.size());
        std::string member = text.substr(at, end - at);
        archive.members.push_back(storedMember(member, tag + ":" + member));
        at = end + 1;
    }
    return archive;
}

struct Case {
    const char* name;
    Strings archives;  // in mounting order
    Strings visible;   // "archive-tag:member" for every entry left, in list order
    const char* primary;  // the primary archive's name, or its priority for a prioritised one
};

const Case kCases[] = {
    {"an archive replaces the members of its base",
     {"base::gfx/x.png,gfx/only_base.png", "patch:BASE:GFX/X.PNG,gfx/new.png"},
     {"base:gfx/only_base.png", "patch:GFX/X.PNG", "patch:gfx/new.png"}, "patch"},
    {"order of mounting does not matter", {"patch:base:gfx/x.png", "base::gfx/x.png"}, {"patch:gfx/x.png"}, "patch"},
    // "bottom:a" survives: top overrides middle only, and middle has no "a".
    {"chains resolve from the bottom up", {"top:middle:a,b", "middle:bottom:b,c", "bottom::a,b,c,d"},
     {"top:a", "top:b", "middle:c", "bottom:a", "bottom:d"}, "top"},
    {"priorities replace smaller priorities", {"plain::x,y", "=1:p1:x,z", "=2:p2:x,z,y"},
     {"p2:x", "p2:z", "p2:y"}, "2"},
    {"priority zero replaces nothing", {"plain::x", "=0:p0:x"}, {"plain:x", "p0:x"}, "plain"},
    {"empty archives still take part", {"base::x", "empty:base:"}, {"base:x"}, "empty"},
    {"without overrides the first is primary", {"one::x", "two::x"}, {"one:x", "two:x"}, "one"},
    // a resolves b first, and b removes a's x; a then has only y to replace.
    {"cycles end", {"a:b:x,y", "b:a:x,z"}, {"a:y", "b:x", "b:z"}, "a"},
    {"no archives, no primary", {}, {}, "<none>"},
};

bool endsWithNoCase(const std::string& name, const std::string& tail) {
    if (tail.size() > name.size()) return false;
    return std::equal(tail.begin(), tail.end(), name.end() - static_cast<long>(tail.size()), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

// Indexes `names` and compares every tail's match with a scan.
void expectMatchesAScan(const std::vector<std::string>& names, const std::vector<std::string>& tails) {
    std::vector<EntryRecord> records(names.size());
    std::vector<EntryRecord*> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        records[i] = EntryRecord{0, 0, 0, 0, const_cast<char*>(names[i].c_str()), nullptr, 0};
        entries.push_back(&records[i]);
    }
    ArchiveIndex index;
    index.build(entries);
    for (const std::string& tail : tails) {
        std::vector<const EntryRecord*> expected, found;
        for (const EntryRecord& record : records) {
            if (endsWithNoCase(record.name, tail)) expected.push_back(&record);
        }
        ArchiveIndex::Range range = index.match(tail.c_str(), tail.size());
        for (size_t i = range.first; i < range.last; ++i) found.push_back(index.entry(i));
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(found, expected) << "tail '" << tail << "'";
    }
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

TEST(Overrides, WinnersAndPrimary) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ArchiveFileSystem fs;
        for (const std::string& text : c.archives) ASSERT_EQ(mountBytes(fs, parse(text).bytes()), 1) << text;
        fs.finishMount();
        Strings visible;
        for (EntryRecord* entry : fs.entries()) {
            ASSERT_EQ(fs.openEntry(entry), 1);
            Stream* stream = fs.takeCurrent();
            visible.push_back(readAll(stream));
            delete stream;
        }
        EXPECT_EQ(visible, c.visible);
        const ArchiveRecord* primary = fs.primary();
        EXPECT_EQ(!primary ? "<none>" : primary->name ? primary->name : std::to_string(primary->priority), c.primary);
    }
}

// Random names over a small alphabet, with tails of every length taken from
// them (some in upper case) or made up; then many names with long common
// tails: runs of equal keys far longer than the stride of the search fences,
// and tails ending right at a fence or between two.
TEST(ArchiveIndex, MatchesExactlyWhatAScanFinds) {
    std::mt19937 random(12345);
    const char alphabet[] = "aAbB/._0";
    auto randomName = [&](size_t length) {
        std::string name;
        for (size_t j = 0; j < length; ++j) name.push_back(alphabet[random() % 8]);
        return name;
    };
    // A tail of a random name, or (`neighbour`) one that sorts just before or after such a tail.
    auto tailOf = [&](const std::vector<std::string>& names, bool neighbour) {
        const std::string& name = names[random() % names.size()];
        std::string tail = name.substr(random() % (name.size() + 1));
        if (neighbour && !tail.empty()) tail[0] = static_cast<char>(tail[0] + (random() % 2 ? 1 : -1));
        return tail;
    };
    std::vector<std::string> names, tails;
    for (int i = 0; i < 1500; ++i) names.push_back(randomName(1 + random() % 40));
    for (int query = 0; query < 1500; ++query) {
        tails.push_back(query % 2 == 0 ? randomName(random() % 24) : tailOf(names, false));
        if (query % 4 == 1) {
            for (char& c : tails.back()) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    expectMatchesAScan(names, tails);
    expectMatchesAScan({}, {"a", ""});

    names.clear();
    for (int i = 0; i < 6000; ++i) {
        std::string name = "d" + std::to_string(random() % 40) + "/";
        if (i % 3) name += "Shared" + std::to_string(random() % 7) + "/";
        names.push_back(name + std::to_string(random() % 300) + (i % 2 ? ".PNG" : ".bin"));
    }
    tails = {"", "g", ".png", "0.png", "shared3/12.bin", "zz.bin", "7.bin"};
    for (int query = 0; query < 400; ++query) tails.push_back(tailOf(names, query % 3 == 0));
    expectMatchesAScan(names, tails);
}
