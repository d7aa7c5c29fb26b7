// velkit's archive commands as a user runs them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void spit(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string binaryText(size_t size, unsigned seed) {
    std::string text;
    unsigned state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        // Mostly repetitive with some noise, so every packer has work to do.
        text.push_back(i % 7 == 0 ? static_cast<char>(state >> 16) : static_cast<char>('a' + (i / 13) % 26));
    }
    return text;
}

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
        fs::path cwd = where.empty() ? dir_ : dir_ / where;
        std::string command = "cd '" + cwd.string() + "' && '" VELKIT_PATH "' " + arguments + " >'" +
                              (dir_ / ".out").string() + "' 2>'" + (dir_ / ".err").string() + "'";
        int raw = std::system(command.c_str());
        Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / ".out"), slurp(dir_ / ".err")};
        fs::remove(dir_ / ".out");
        fs::remove(dir_ / ".err");
        return result;
    }

    void makeShow() {
        spit(dir_ / "src/data/text/velandora.txt", "first caption\nsecond caption\n");
        spit(dir_ / "src/data/images/0100.wmj", binaryText(70000, 1));
        spit(dir_ / "src/data/images/0200.wmj", binaryText(3000, 2));
        spit(dir_ / "src/data/empty.bin", "");
    }

    fs::path dir_;
};

}  // namespace

TEST_F(KitArchive, PackThenCatEveryMethod) {
    makeShow();
    for (const char* method : {"stored", "zlib", "lz"}) {
        for (const char* directoryMethod : {"stored", "zlib", "lz"}) {
            SCOPED_TRACE(std::string(method) + "/" + directoryMethod);
            fs::create_directories(dir_ / "play");
            Result pack = velkit(std::string("pack play/show.lcc --root src --method ") + method +
                                 " --directory-method " + directoryMethod + " src/data");
            ASSERT_EQ(pack.status, 0) << pack.err;
            for (const char* name : {"data/images/0100.wmj", "data/images/0200.wmj", "data/text/velandora.txt",
                                     "data/empty.bin"}) {
                Result cat = velkit(std::string("cat ") + name, "play");
                EXPECT_EQ(cat.status, 0) << name << cat.err;
                EXPECT_TRUE(cat.out == slurp(dir_ / "src" / name)) << name;
            }
            Result bySuffix = velkit("cat 'DATA\\IMAGES\\0200.WMJ'", "play");
            EXPECT_EQ(bySuffix.status, 0);
            EXPECT_EQ(bySuffix.out.size(), 3000u);
            fs::remove_all(dir_ / "play");
        }
    }
}

TEST_F(KitArchive, LsListsMethodSizesAndNames) {
    makeShow();
    ASSERT_EQ(velkit("pack show.lcc --root src --method zlib src/data/text src/data/images/0200.wmj").status, 0);
    Result ls = velkit("ls show.lcc");
    ASSERT_EQ(ls.status, 0) << ls.err;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < ls.out.size()) {
        size_t end = ls.out.find('\n', start);
        lines.push_back(ls.out.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 2u) << ls.out;
    char method[16], name[256];
    unsigned packed = 0, unpacked = 0;
    // 29 bytes of text do not shrink under zlib (its header and checksum
    // alone take 6 bytes): the member is stored, and listed so.
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%15s %u %u %255s", method, &packed, &unpacked, name), 4);
    EXPECT_STREQ(method, "stored");
    EXPECT_STREQ(name, "data/text/velandora.txt");
    EXPECT_EQ(unpacked, 29u);
    EXPECT_EQ(packed, 29u);
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "%15s %u %u %255s", method, &packed, &unpacked, name), 4);
    EXPECT_STREQ(method, "zlib");
    EXPECT_STREQ(name, "data/images/0200.wmj");
    EXPECT_EQ(unpacked, 3000u);
    EXPECT_LT(packed, 3000u);

    ASSERT_EQ(velkit("pack stored.lcc --root src src/data/images/0200.wmj").status, 0);
    ls = velkit("ls stored.lcc");
    EXPECT_EQ(ls.out.substr(0, 6), "stored");
    EXPECT_NE(ls.out.find(" 3000       3000 data/images/0200.wmj"), std::string::npos) << ls.out;
}

namespace {

// The method, packed size and unpacked size that `velkit ls` gives for a name.
struct Listed {
    std::string method;
    unsigned packed = 0;
    unsigned unpacked = 0;
};

Listed listedEntry(const std::string& listing, const std::string& wanted) {
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        char method[16], name[256];
        Listed entry;
        if (std::sscanf(listing.substr(start, end - start).c_str(), "%15s %u %u %255s", method, &entry.packed,
                        &entry.unpacked, name) == 4 &&
            wanted == name) {
            entry.method = method;
            return entry;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

TEST_F(KitArchive, MembersThatWouldGrowAreStored) {
    std::string noise;
    unsigned state = 7;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.push_back(static_cast<char>(state >> 24));
    }
    spit(dir_ / "src/noise.bin", noise);
    spit(dir_ / "src/text.bin", binaryText(20000, 4));
    for (const char* method : {"lz", "zlib"}) {
        SCOPED_TRACE(method);
        fs::create_directories(dir_ / "play");
        ASSERT_EQ(velkit(std::string("pack play/show.lcc --method ") + method + " --root src src").status, 0);
        Result ls = velkit("ls play/show.lcc");
        ASSERT_EQ(ls.status, 0) << ls.err;
        Listed stored = listedEntry(ls.out, "noise.bin");
        EXPECT_EQ(stored.method, "stored") << ls.out;
        EXPECT_EQ(stored.packed, 20000u);
        EXPECT_EQ(stored.unpacked, 20000u);
        Listed packed = listedEntry(ls.out, "text.bin");
        EXPECT_EQ(packed.method, method) << ls.out;
        EXPECT_LT(packed.packed, 20000u);
        EXPECT_TRUE(velkit("cat noise.bin", "play").out == noise);
        EXPECT_TRUE(velkit("cat text.bin", "play").out == slurp(dir_ / "src/text.bin"));
        ASSERT_EQ(velkit("unpack play/show.lcc out").status, 0);
        EXPECT_TRUE(slurp(dir_ / "out/noise.bin") == noise);
        EXPECT_TRUE(slurp(dir_ / "out/text.bin") == slurp(dir_ / "src/text.bin"));
        fs::remove_all(dir_ / "play");
        fs::remove_all(dir_ / "out");
    }
}

TEST_F(KitArchive, UnpackRestoresEveryFile) {
    makeShow();
    ASSERT_EQ(velkit("pack show.lcc --method lz --root src src").status, 0);
    Result unpack = velkit("unpack show.lcc out");
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    for (const char* name : {"data/images/0100.wmj", "data/images/0200.wmj", "data/text/velandora.txt",
                             "data/empty.bin"}) {
        EXPECT_TRUE(slurp(dir_ / "out" / name) == slurp(dir_ / "src" / name)) << name;
    }
}

TEST_F(KitArchive, NamedArchivesOverrideTheirBase) {
    spit(dir_ / "v1/gfx/x.png", "version one");
    spit(dir_ / "v1/gfx/keep.png", "kept");
    spit(dir_ / "v2/gfx/x.png", "version two");
    fs::create_directories(dir_ / "play");
    ASSERT_EQ(velkit("pack play/a_patch.lcc --name patch --base base --root v2 v2").status, 0);
    ASSERT_EQ(velkit("pack play/b_base.lcc --name base --root v1 v1").status, 0);
    EXPECT_EQ(velkit("cat gfx/x.png", "play").out, "version two");
    EXPECT_EQ(velkit("cat keep.png", "play").out, "kept");
    // A loose file beats both.
    spit(dir_ / "play/x.png", "loose");
    EXPECT_EQ(velkit("cat gfx/x.png", "play").out, "loose");
}

TEST_F(KitArchive, PrioritisedArchivesWin) {
    spit(dir_ / "low/a.txt", "low");
    spit(dir_ / "high/a.txt", "high");
    fs::create_directories(dir_ / "play");
    ASSERT_EQ(velkit("pack play/1.lcc --priority 3 --root high high").status, 0);
    ASSERT_EQ(velkit("pack play/2.lcc --root low low").status, 0);
    EXPECT_EQ(velkit("cat a.txt", "play").out, "high");
    EXPECT_NE(velkit("pack play/3.lcc --priority 3 --name n --root low low").status, 0);
}

TEST_F(KitArchive, CatOfAMissingName) {
    Result cat = velkit("cat data/nothing.txt");
    EXPECT_EQ(cat.status, 1);
    EXPECT_EQ(cat.out, "");
    EXPECT_EQ(cat.err, "velkit: not found: data/nothing.txt\n");
}

TEST_F(KitArchive, CatTriesAlternatives) {
    spit(dir_ / "second.txt", "second");
    Result cat = velkit("cat 'first.txt|second.txt'");
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(cat.out, "second");
}

TEST_F(KitArchive, CorruptMembersEndWithTheFatalReport) {
    spit(dir_ / "src/big.txt", binaryText(50000, 3));
    ASSERT_EQ(velkit("pack show.lcc --method zlib --root src src").status, 0);
    std::string archive = slurp(dir_ / "show.lcc");
    for (size_t i = archive.size() - 2000; i < archive.size() - 1000; ++i) archive[i] = static_cast<char>(archive[i] ^ 0x5A);
    spit(dir_ / "show.lcc", archive);
    Result cat = velkit("cat big.txt");
    EXPECT_EQ(cat.status, 666 & 0xFF);
    EXPECT_NE(cat.err.find("Fatal Error"), std::string::npos) << cat.err;
    EXPECT_NE(cat.err.find("lib\\lcc_zlib("), std::string::npos) << cat.err;
}

TEST_F(KitArchive, DamagedArchivesAreRejectedClearly) {
    spit(dir_ / "src/a.txt", "aaaa");
    ASSERT_EQ(velkit("pack show.lcc --root src src").status, 0);
    std::string archive = slurp(dir_ / "show.lcc");
    spit(dir_ / "badmagic.lcc", "X" + archive.substr(1));
    spit(dir_ / "short.lcc", archive.substr(0, 47));
    for (const char* name : {"badmagic.lcc", "short.lcc", "missing.lcc"}) {
        Result ls = velkit(std::string("ls ") + name);
        EXPECT_EQ(ls.status, 1) << name;
        EXPECT_EQ(ls.err.rfind("velkit: ", 0), 0u) << ls.err;
        Result unpack = velkit(std::string("unpack ") + name + " out");
        EXPECT_EQ(unpack.status, 1);
        EXPECT_EQ(unpack.err.rfind("velkit: ", 0), 0u);
    }
    // A member whose data was cut off.
    spit(dir_ / "cut.lcc", archive.substr(0, archive.size() - 2));
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
}

TEST_F(KitArchive, PackNeverPacksItsOwnOutput) {
    spit(dir_ / "src/a.txt", "a");
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    ASSERT_EQ(velkit("pack src/show.lcc --root src src").status, 0);
    Result ls = velkit("ls src/show.lcc");
    EXPECT_NE(ls.out.find(" a.txt\n"), std::string::npos) << ls.out;
    EXPECT_EQ(ls.out.find("show.lcc"), std::string::npos) << ls.out;
}

TEST_F(KitArchive, PackRefusesNamesThatDifferOnlyInCase) {
    spit(dir_ / "src/A.txt", "upper");
    spit(dir_ / "src/a.txt", "lower");
    Result pack = velkit("pack out.lcc --root src src");
    EXPECT_EQ(pack.status, 1);
    EXPECT_NE(pack.err.find("letter case"), std::string::npos);
}

namespace {

// An archive with one stored member of the given name, written by hand.
std::string archiveWithMember(const std::string& name, const std::string& content) {
    auto u32 = [](uint32_t value) {
        std::string out;
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
        return out;
    };
    std::string directory = u32(2) + u32(1) + u32(1) + u32(1) + std::string("x\0\0\0", 4);
    directory += u32(static_cast<uint32_t>(name.size() + 1)) + u32(static_cast<uint32_t>(content.size())) +
                 u32(static_cast<uint32_t>(content.size())) + u32(0) + name + std::string(1, '\0');
    std::string header = std::string("Lind-Haspel Compacted Content\x1A", 30) + std::string(1, '\0');
    header += std::string("\0\0\1\0", 4) + u32(0) + u32(static_cast<uint32_t>(directory.size())) +
              u32(static_cast<uint32_t>(directory.size()));
    return header + directory + content;
}

}  // namespace

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
}

TEST_F(KitArchive, UnpackRefusesSymbolicLinks) {
    fs::create_directories(dir_ / "out");
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "out/link");
    spit(dir_ / "a.lcc", archiveWithMember("link/file.txt", "through the link"));
    Result unpack = velkit("unpack a.lcc out");
    EXPECT_EQ(unpack.status, 1);
    EXPECT_NE(unpack.err.find("symbolic link"), std::string::npos) << unpack.err;
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere/file.txt"));

    fs::create_symlink(dir_ / "elsewhere/target.txt", dir_ / "out/file.txt");
    spit(dir_ / "b.lcc", archiveWithMember("file.txt", "over the link"));
    unpack = velkit("unpack b.lcc out");
    EXPECT_EQ(unpack.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere/target.txt"));
}
