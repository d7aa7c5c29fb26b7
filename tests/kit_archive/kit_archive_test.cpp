// velkit's archive commands as a user runs them, in a scratch directory.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/lib/test_support.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

// Repetitive text with every `noiseEvery`th byte noise; all noise does not pack.
std::string binaryText(size_t size, unsigned seed, size_t noiseEvery = 7) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        text.push_back(i % noiseEvery == 0 ? static_cast<char>(seed >> 16) : static_cast<char>('a' + (i / 13) % 26));
    }
    return text;
}

// The method, packed size and unpacked size that `velkit ls` gives for a name.
struct Listed {
    std::string method;
    unsigned packed = 0, unpacked = 0;
};

Listed listedEntry(const std::string& listing, const std::string& wanted) {
    std::istringstream lines(listing);
    Listed entry;
    for (std::string name; lines >> entry.method >> entry.packed >> entry.unpacked >> name;) {
        if (name == wanted) return entry;
    }
    return {};
}

// Runs velkit with `arguments` (already quoted) in `where`, below the scratch directory.
CommandResult velkit(const std::string& arguments, const std::string& where = ".") {
    return run_command("cd '" + where + "' && '" VELKIT_PATH "' " + arguments);
}

// Expects failure with a message of velkit's own that contains `what`.
void expectFailure(const std::string& arguments, const std::string& what = "") {
    CommandResult result = velkit(arguments);
    EXPECT_EQ(result.status, 1) << arguments;
    EXPECT_EQ(result.err.rfind("velkit: ", 0), 0u) << arguments << ": " << result.err;
    EXPECT_NE(result.err.find(what), std::string::npos) << arguments << ": " << result.err;
}

// An archive of one stored member, written by hand whatever its name.
void writeArchive(const std::string& path, const std::string& member, const std::string& content) {
    TestArchive archive;
    archive.members = {storedMember(member, content)};
    writeFile(path, archive.bytes());
}

using KitArchive = InScratch;

}  // namespace

// Each member method, each with another directory method. ls gives every
// member's method and sizes: members that would grow are stored (noise under
// either method, 29 bytes of text under zlib, nothing at all). unpack restores
// every file.
TEST_F(KitArchive, PackListAndUnpack) {
    const char* const names[] = {"data/text/velandora.txt", "data/images/0100.wmj", "data/images/0200.wmj",
                                 "data/empty.bin", "data/noise.bin"};
    const std::string contents[] = {"first caption\nsecond caption", binaryText(70000, 1), binaryText(3000, 2), "",
                                    binaryText(20000, 7, 1)};
    for (int i = 0; i < 5; ++i) writeFile("src/" + std::string(names[i]), contents[i]);
    const struct {
        const char* options;
        const char* methods[5];
    } cases[] = {
        {"stored --directory-method zlib", {"stored", "stored", "stored", "stored", "stored"}},
        {"zlib --directory-method lz", {"stored", "zlib", "zlib", "stored", "stored"}},
        {"lz --directory-method stored", {"lz", "lz", "lz", "stored", "stored"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        CommandResult pack = velkit(std::string("pack show.lcc --root src --method ") + c.options + " src/data");
        ASSERT_EQ(pack.status, 0) << pack.err;
        CommandResult ls = velkit("ls show.lcc");
        ASSERT_EQ(ls.status, 0) << ls.err;
        EXPECT_EQ(std::count(ls.out.begin(), ls.out.end(), '\n'), 5) << ls.out;
        ASSERT_EQ(velkit("unpack show.lcc out").status, 0);
        for (int i = 0; i < 5; ++i) {
            Listed listed = listedEntry(ls.out, names[i]);
            EXPECT_EQ(listed.method, c.methods[i]) << names[i] << "\n" << ls.out;
            EXPECT_EQ(listed.unpacked, contents[i].size()) << names[i];
            EXPECT_TRUE(listed.method == "stored" ? listed.packed == listed.unpacked : listed.packed < listed.unpacked);
            EXPECT_TRUE(readFile(fs::path("out") / names[i]) == contents[i]) << names[i];
        }
        fs::remove_all("out");
    }
    ASSERT_EQ(velkit("pack stored.lcc --root src src/data/images/0200.wmj").status, 0);
    EXPECT_EQ(velkit("ls stored.lcc").out, "stored       3000       3000 data/images/0200.wmj\n");
}

TEST_F(KitArchive, NamedArchivesOverrideTheirBaseAndPrioritiesWin) {
    writeFile("v1/gfx/x.png", "version one");
    writeFile("v2/gfx/x.png", "version two");
    writeFile("low/a.txt", "low");
    writeFile("high/a.txt", "high");
    fs::create_directories("play");
    fs::create_directories("prio");
    ASSERT_EQ(velkit("pack play/a_patch.lcc --name patch --base base --root v2 v2").status, 0);
    ASSERT_EQ(velkit("pack play/b_base.lcc --name base --root v1 v1").status, 0);
    EXPECT_EQ(velkit("cat 'GFX\\X.PNG'", "play").out, "version two");
    ASSERT_EQ(velkit("pack prio/1.lcc --priority 3 --root high high").status, 0);
    ASSERT_EQ(velkit("pack prio/2.lcc --root low low").status, 0);
    EXPECT_EQ(velkit("cat a.txt", "prio").out, "high");
}

TEST_F(KitArchive, FailuresAreReportedClearly) {
    CommandResult cat = velkit("cat data/nothing.txt");
    EXPECT_EQ(cat.status, 1);
    EXPECT_EQ(cat.err, "velkit: not found: data/nothing.txt\n");

    writeArchive("good.lcc", "a.txt", "aaaa");
    const std::string archive = readFile("good.lcc");
    writeFile("badmagic.lcc", "X" + archive.substr(1));
    writeFile("cut.lcc", archive.substr(0, archive.size() - 2));  // a member whose data was cut off
    expectFailure("ls badmagic.lcc", "not a valid archive");
    expectFailure("unpack missing.lcc out", "cannot open");
    expectFailure("unpack cut.lcc out", "damaged member a.txt");

    writeFile("src/a.txt", "a");
    for (const char* arguments : {"pack", "pack out.lcc", "pack out.lcc --method brotli src",
                                  "pack out.lcc --priority -1 src", "pack out.lcc missing_dir",
                                  "pack out.lcc --root src /etc/hostname", "pack out.lcc --bogus src",
                                  "pack out.lcc --priority 3 --name n src"}) {
        expectFailure(arguments);
    }
    writeFile("src/A.txt", "upper");
    expectFailure("pack out.lcc --root src src", "letter case");
    EXPECT_FALSE(fs::exists("out.lcc"));
}

TEST_F(KitArchive, PackNeverPacksItsOwnOutput) {
    writeFile("src/a.txt", "a");
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    CommandResult ls = velkit("ls src/show.lcc");
    EXPECT_NE(ls.out.find(" a.txt\n"), std::string::npos) << ls.out;
    EXPECT_EQ(ls.out.find("show.lcc"), std::string::npos) << ls.out;
}

// The archives are valid: unpack refuses their member names.
TEST_F(KitArchive, UnpackNeverWritesOutsideItsDirectory) {
    fs::create_directories("out");
    for (const char* name : {"../escape.txt", "/tmp/vel_absolute_escape.txt", "..\\escape.txt", "C:/escape.txt"}) {
        writeArchive("evil.lcc", name, "evil");
        expectFailure("unpack evil.lcc out", "member name");
    }
    EXPECT_FALSE(fs::exists("escape.txt"));
    EXPECT_FALSE(fs::exists("/tmp/vel_absolute_escape.txt"));
    EXPECT_TRUE(fs::is_empty("out"));
    // Nor through a symbolic link, to a directory or to a file.
    fs::create_directories("elsewhere");
    fs::create_directory_symlink(fs::absolute("elsewhere"), "out/link");
    writeArchive("a.lcc", "link/file.txt", "through the link");
    expectFailure("unpack a.lcc out", "symbolic link");
    fs::create_symlink(fs::absolute("elsewhere/target.txt"), "out/file.txt");
    writeArchive("b.lcc", "file.txt", "over the link");
    expectFailure("unpack b.lcc out", "symbolic link");
    EXPECT_TRUE(fs::is_empty("elsewhere"));
}
