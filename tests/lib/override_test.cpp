// Override resolution between archives and the choice of the primary archive.
#include <string>

#include "lib/archive_file_system.h"
#include "test_support.h"

namespace {

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

}  // namespace

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
