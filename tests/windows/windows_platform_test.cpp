// The Win32 file layer as the player uses it: the system enforces the share
// modes, mapped files keep every other opener out, resources come from the
// module, and the working directory's archives are found by FindFirstFileA.
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/file_system.h"
#include "lib/stream.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// A fresh working directory for each test.
class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = fs::temp_directory_path() / ("velandora_test_" + std::to_string(GetCurrentProcessId()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path_);
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    static void write(const std::string& name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }
    fs::path path_, previous_;
};

TEST_F(WindowsFiles, ReadersShareButWritersAreKeptOut) {
    write("shared.txt", "0123456789");
    FileStream first, second, writer;
    ASSERT_EQ(first.open("shared.txt", 0), 1);
    EXPECT_EQ(second.open("shared.txt", 0), 1) << "readers share the file";
    EXPECT_EQ(writer.open("shared.txt", 1), 0) << "a reader does not share writing";
    char bytes[4] = {};
    EXPECT_EQ(second.read(bytes, 4), 4);
    EXPECT_EQ(std::memcmp(bytes, "0123", 4), 0);
    first.close();
    second.close();
    EXPECT_EQ(writer.open("shared.txt", 1), 1) << "the file is free once the readers close";
}

TEST_F(WindowsFiles, DispositionsCreateTruncateAndRefuse) {
    FileStream stream;
    EXPECT_EQ(stream.open("missing.txt", 0), 0) << "open existing fails for a missing file";
    ASSERT_EQ(stream.open("made.txt", 2 | 4), 1);
    EXPECT_EQ(stream.write("abcdef", 6), 6);
    stream.close();
    // Open or create keeps the content; create always truncates.
    const struct {
        int mode;
        int32_t size;
    } reopened[] = {{2 | 8, 6}, {1 | 4, 0}};
    for (const auto& r : reopened) {
        ASSERT_EQ(stream.open("made.txt", r.mode), 1) << r.mode;
        EXPECT_EQ(stream.size(), r.size) << r.mode;
        stream.close();
    }
    EXPECT_EQ(stream.open("made.txt", 12), 0) << "disposition 12 is invalid";
}

TEST_F(WindowsFiles, MappedFileKeepsEveryOtherOpenerOutUntilClosed) {
    write("mapped.bin", "mapped content");
    MappedFileStream mapped, second;
    ASSERT_EQ(mapped.openMapped("mapped.bin"), 1);
    EXPECT_EQ(mapped.size(), 14);
    FileStream other;
    EXPECT_EQ(other.open("mapped.bin", 0), 0) << "a mapped file is not shared, not even for reading";
    EXPECT_EQ(second.openMapped("mapped.bin"), 0);
    char bytes[6] = {};
    EXPECT_EQ(mapped.read(bytes, 6), 6);
    EXPECT_EQ(std::memcmp(bytes, "mapped", 6), 0);
    EXPECT_EQ(mapped.write("x", 1), 0) << "a mapped view is read-only";
    mapped.close();
    EXPECT_EQ(other.open("mapped.bin", 0), 1);
    // An empty file maps to an empty stream.
    write("empty.bin", "");
    EXPECT_EQ(second.openMapped("empty.bin"), 1);
    EXPECT_EQ(second.size(), 0);
    EXPECT_EQ(second.read(bytes, 1), 0);
}

TEST_F(WindowsFiles, NamesIgnoreCaseAndEitherSeparator) {
    CreateDirectoryA("Data", nullptr);
    write("Data\\Note.TXT", "note");
    for (const char* name : {"data/note.txt", "DATA\\NOTE.txt", "Data/Note.TXT"}) {
        Stream* stream = openFile(name);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_EQ(stream->size(), 4) << name;
        delete stream;
    }
}

TEST_F(WindowsFiles, ArchivesAreTheLccFilesOfTheWorkingDirectory) {
    for (const char* name : {"b.lcc", "A.LCC", "c.Lcc", "d.lccx", "e.lc"}) write(name, "x");
    CreateDirectoryA("f.lcc", nullptr);
    EXPECT_EQ(platformListArchives(), (std::vector<std::string>{"A.LCC", "b.lcc", "c.Lcc"}));
}

TEST(WindowsResources, ModuleResourcesOpenReadOnly) {
    Stream* text = openFile("res:12");
    ASSERT_NE(text, nullptr);
    char bytes[32] = {};
    ASSERT_EQ(text->size(), 17);
    EXPECT_EQ(text->read(bytes, 32), 17);
    EXPECT_EQ(std::string(bytes, 17), "resource twelve\r\n");
    EXPECT_EQ(text->write("x", 1), 0) << "resources are read-only";
    delete text;
    MemoryStream binary;
    ASSERT_EQ(binary.openResource(4000), 1);
    EXPECT_EQ(binary.size(), 70000);
    EXPECT_EQ(binary.openResource(4001), 0) << "a missing resource";
    EXPECT_EQ(openFile("res:13"), nullptr);
}

}  // namespace
