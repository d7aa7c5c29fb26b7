// velkit's archive commands as a user runs them.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void spit(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Mostly repetitive with some noise, so every packer has work to do.
std::string binaryText(size_t size, unsigned seed) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        text.push_back(i % 7 == 0 ? static_cast<char>(seed >> 16) : static_cast<char>('a' + (i / 13) % 26));
    }
    return text;
}

// The method, packed size and unpacked size that `velkit ls` gives for a name.
struct Listed {
    std::string method;
    unsigned packed = 0, unpacked = 0;
};

Listed listedEntry(const std::string& listing, const std::string& wanted) {
    for (size_t start = 0, end; start < listing.size(); start = end + 1) {
        end = listing.find('\n', start);
        char method[16], name[256];
        Listed entry;
        if (std::sscanf(listing.substr(start, end - start).c_str(), "%15s %u %u %255s", method, &entry.packed,
                        &entry.unpacked, name) == 4 && wanted == name) {
            entry.method = method;
            return entry;
        }
    }
    return {};
}

// An archive with one stored member of the given name, written by hand.
std::string archiveWithMember(const std::string& name, const std::string& content) {
    auto u32 = [](size_t value) {
        std::string out;
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
        return out;
    };
    std::string directory = u32(2) + u32(1) + u32(1) + u32(1) + std::string("x\0\0\0", 4) + u32(name.size() + 1) +
                            u32(content.size()) + u32(content.size()) + u32(0) + name + std::string(1, '\0');
    return std::string("Lind-Haspel Compacted Content\x1A\0\0\0\1\0", 35) + u32(0) + u32(directory.size()) +
           u32(directory.size()) + directory + content;
}

const char* const kShowFiles[] = {"data/images/0100.wmj", "data/images/0200.wmj", "data/text/velandora.txt",
                                  "data/empty.bin"};

class KitArchive : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vel_kit_archive_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs velkit with `arguments` (already quoted) in the scratch directory.
    Result velkit(const std::string& arguments, const std::string& where = "") {
        std::string command = "cd '" + (dir_ / where).string() + "' && '" VELKIT_PATH "' " + arguments + " >'" +
                              (dir_ / ".out").string() + "' 2>'" + (dir_ / ".err").string() + "'";
        int raw = std::system(command.c_str());
        Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / ".out"), slurp(dir_ / ".err")};
        fs::remove(dir_ / ".out");
        fs::remove(dir_ / ".err");
        return result;
    }

    fs::path dir_;
};

}  // namespace

// Each member method and each directory method: cat finds every file (by
// whole name and by suffix) and unpack restores it.
TEST_F(KitArchive, PackThenCatAndUnpack) {
    spit(dir_ / "src/data/text/velandora.txt", "first caption\nsecond caption\n");
    spit(dir_ / "src/data/images/0100.wmj", binaryText(70000, 1));
    spit(dir_ / "src/data/images/0200.wmj", binaryText(3000, 2));
    spit(dir_ / "src/data/empty.bin", "");
    for (const char* methods : {"stored --directory-method zlib", "zlib --directory-method lz",
                                "lz --directory-method stored"}) {
        SCOPED_TRACE(methods);
        fs::create_directories(dir_ / "play");
        Result pack = velkit(std::string("pack play/show.lcc --root src --method ") + methods + " src/data");
        ASSERT_EQ(pack.status, 0) << pack.err;
        ASSERT_EQ(velkit("unpack play/show.lcc out").status, 0);
        for (const char* name : kShowFiles) {
            Result cat = velkit(std::string("cat ") + name, "play");
            EXPECT_EQ(cat.status, 0) << name << cat.err;
            EXPECT_TRUE(cat.out == slurp(dir_ / "src" / name)) << name;
            EXPECT_TRUE(slurp(dir_ / "out" / name) == slurp(dir_ / "src" / name)) << name;
        }
        Result bySuffix = velkit("cat 'DATA\\IMAGES\\0200.WMJ'", "play");
        EXPECT_EQ(bySuffix.status, 0);
        EXPECT_EQ(bySuffix.out.size(), 3000u);
        fs::remove_all(dir_ / "play");
        fs::remove_all(dir_ / "out");
    }
}

// ls gives method, packed and unpacked size and name; members that would grow
// are stored (29 bytes of text do not shrink under zlib, nor noise under either).
TEST_F(KitArchive, MembersThatWouldGrowAreStored) {
    std::string noise;
    for (unsigned i = 0, state = 7; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.push_back(static_cast<char>(state >> 24));
    }
    spit(dir_ / "src/noise.bin", noise);
    spit(dir_ / "src/text.bin", binaryText(20000, 4));
    spit(dir_ / "src/small.txt", "first caption\nsecond caption");
    for (const char* method : {"lz", "zlib"}) {
        SCOPED_TRACE(method);
        ASSERT_EQ(velkit(std::string("pack show.lcc --method ") + method + " --root src src").status, 0);
        Result ls = velkit("ls show.lcc");
        ASSERT_EQ(ls.status, 0) << ls.err;
        EXPECT_EQ(std::count(ls.out.begin(), ls.out.end(), '\n'), 3) << ls.out;
        for (const char* name : {"noise.bin", "small.txt"}) {
            if (name[0] == 's' && method[0] == 'l') continue;  // LZ does shrink the text
            Listed stored = listedEntry(ls.out, name);
            EXPECT_EQ(stored.method, "stored") << ls.out;
            EXPECT_EQ(stored.packed, stored.unpacked);
            EXPECT_EQ(stored.unpacked, slurp(dir_ / "src" / name).size());
        }
        Listed packed = listedEntry(ls.out, "text.bin");
        EXPECT_EQ(packed.method, method) << ls.out;
        EXPECT_EQ(packed.unpacked, 20000u);
        EXPECT_LT(packed.packed, 20000u);
        EXPECT_TRUE(velkit("cat noise.bin").out == noise);
    }
    ASSERT_EQ(velkit("pack stored.lcc --root src src/text.bin").status, 0);
    EXPECT_NE(velkit("ls stored.lcc").out.find("stored      20000      20000 text.bin"), std::string::npos);
}

TEST_F(KitArchive, NamedArchivesOverrideTheirBaseAndPrioritiesWin) {
    spit(dir_ / "v1/gfx/x.png", "version one");
    spit(dir_ / "v1/gfx/keep.png", "kept");
    spit(dir_ / "v2/gfx/x.png", "version two");
    fs::create_directories(dir_ / "play");
    fs::create_directories(dir_ / "prio");
    ASSERT_EQ(velkit("pack play/a_patch.lcc --name patch --base base --root v2 v2").status, 0);
    ASSERT_EQ(velkit("pack play/b_base.lcc --name base --root v1 v1").status, 0);
    EXPECT_EQ(velkit("cat gfx/x.png", "play").out, "version two");
    EXPECT_EQ(velkit("cat keep.png", "play").out, "kept");
    spit(dir_ / "play/x.png", "loose");  // a loose file beats both
    EXPECT_EQ(velkit("cat gfx/x.png", "play").out, "loose");

    spit(dir_ / "low/a.txt", "low");
    spit(dir_ / "high/a.txt", "high");
    ASSERT_EQ(velkit("pack prio/1.lcc --priority 3 --root high high").status, 0);
    ASSERT_EQ(velkit("pack prio/2.lcc --root low low").status, 0);
    EXPECT_EQ(velkit("cat a.txt", "prio").out, "high");
    EXPECT_NE(velkit("pack prio/3.lcc --priority 3 --name n --root low low").status, 0);
}

TEST_F(KitArchive, CatOfAMissingNameAndOfAlternatives) {
    Result cat = velkit("cat data/nothing.txt");
    EXPECT_EQ(cat.status, 1);
    EXPECT_EQ(cat.out, "");
    EXPECT_EQ(cat.err, "velkit: not found: data/nothing.txt\n");
    spit(dir_ / "second.txt", "second");
    cat = velkit("cat 'first.txt|second.txt'");
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(cat.out, "second");
}

TEST_F(KitArchive, DamagedArchivesAreRejectedClearly) {
    spit(dir_ / "src/a.txt", "aaaa");
    ASSERT_EQ(velkit("pack show.lcc --root src src").status, 0);
    std::string archive = slurp(dir_ / "show.lcc");
    spit(dir_ / "badmagic.lcc", "X" + archive.substr(1));
    spit(dir_ / "short.lcc", archive.substr(0, 47));
    for (const char* name : {"badmagic.lcc", "short.lcc", "missing.lcc"}) {
        for (const std::string command : {"ls ", "unpack "}) {
            Result result = velkit(command + name + (command == "ls " ? "" : " out"));
            EXPECT_EQ(result.status, 1) << command << name;
            EXPECT_EQ(result.err.rfind("velkit: ", 0), 0u) << result.err;
        }
    }
    spit(dir_ / "cut.lcc", archive.substr(0, archive.size() - 2));  // a member whose data was cut off
    Result unpack = velkit("unpack cut.lcc out");
    EXPECT_EQ(unpack.status, 1);
    EXPECT_NE(unpack.err.find("damaged member a.txt"), std::string::npos) << unpack.err;
}

TEST_F(KitArchive, PackReportsBadArguments) {
    spit(dir_ / "src/a.txt", "a");
    for (const char* arguments : {"pack", "pack out.lcc", "pack out.lcc --method brotli src",
                                  "pack out.lcc --priority -1 src", "pack out.lcc missing_dir",
                                  "pack out.lcc --root src /etc/hostname", "pack out.lcc --bogus src"}) {
        Result pack = velkit(arguments);
        EXPECT_EQ(pack.status, 1) << arguments;
        EXPECT_EQ(pack.err.rfind("velkit: ", 0), 0u) << arguments << ": " << pack.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.lcc"));
    spit(dir_ / "src/A.txt", "upper");
    Result pack = velkit("pack out.lcc --root src src");
    EXPECT_EQ(pack.status, 1);
    EXPECT_NE(pack.err.find("letter case"), std::string::npos);
}

TEST_F(KitArchive, PackNeverPacksItsOwnOutput) {
    spit(dir_ / "src/a.txt", "a");
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    Result ls = velkit("ls src/show.lcc");
    EXPECT_NE(ls.out.find(" a.txt\n"), std::string::npos) << ls.out;
    EXPECT_EQ(ls.out.find("show.lcc"), std::string::npos) << ls.out;
}

TEST_F(KitArchive, UnpackNeverWritesOutsideItsDirectory) {
    fs::create_directories(dir_ / "out");
    for (const char* name : {"../escape.txt", "a/../../escape.txt", "/tmp/vel_absolute_escape.txt",
                             "..\\escape.txt", "C:/escape.txt"}) {
        spit(dir_ / "evil.lcc", archiveWithMember(name, "evil"));
        ASSERT_EQ(velkit("ls evil.lcc").status, 0) << name;
        Result unpack = velkit("unpack evil.lcc out");
        EXPECT_EQ(unpack.status, 1) << name;
        EXPECT_EQ(unpack.err.rfind("velkit: ", 0), 0u) << unpack.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
    EXPECT_FALSE(fs::exists("/tmp/vel_absolute_escape.txt"));
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    // Nor through a symbolic link, to a directory or to a file.
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "out/link");
    spit(dir_ / "a.lcc", archiveWithMember("link/file.txt", "through the link"));
    Result unpack = velkit("unpack a.lcc out");
    EXPECT_EQ(unpack.status, 1);
    EXPECT_NE(unpack.err.find("symbolic link"), std::string::npos) << unpack.err;
    fs::create_symlink(dir_ / "elsewhere/target.txt", dir_ / "out/file.txt");
    spit(dir_ / "b.lcc", archiveWithMember("file.txt", "over the link"));
    EXPECT_EQ(velkit("unpack b.lcc out").status, 1);
    EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
}
