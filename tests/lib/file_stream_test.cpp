// Disk files: plain streams (case-insensitive names, sharing rules) and
// mapped ones (whole file, read-only, locked against every other opener).
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "lib/stream.h"
#include "test_support.h"

namespace {

using FileStreamTest = InScratch;

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

// A closed stream gives zeros, whatever is asked of it.
TEST_F(FileStreamTest, ReadsAnExistingFile) {
    FileStream stream;
    char buffer[16] = {};
    EXPECT_EQ(stream.read(buffer, 4), 0);
    EXPECT_EQ(stream.write("ab", 2), 0);
    EXPECT_EQ(stream.seek(3), 0);
    EXPECT_EQ(stream.seekRelative(3), 0);
    EXPECT_EQ(stream.seekFromEnd(-1), 0);
    EXPECT_EQ(stream.tell(), 0);
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(stream.flush(), 0);
    writeFile("plain.txt", "hello, file");
    EXPECT_EQ(stream.open("missing.txt", 0), 0);
    EXPECT_EQ(stream.open("plain.txt", 12), 0);  // no such disposition
    EXPECT_EQ(stream.open(nullptr, 0), 0);
    ASSERT_EQ(stream.open("plain.txt", 0), 1);
    EXPECT_EQ(stream.size(), 11);
    EXPECT_EQ(stream.read(buffer, 5), 5);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(stream.tell(), 5);
    EXPECT_EQ(stream.seekRelative(2), 7);
    EXPECT_EQ(stream.seekFromEnd(-3), 8);
    EXPECT_EQ(stream.read(buffer, 16), 3);
    EXPECT_EQ(std::memcmp(buffer, "ile", 3), 0);
    EXPECT_EQ(stream.atEnd(), 1);
    EXPECT_EQ(stream.write("x", 1), 0);  // a read-only opener cannot write
    EXPECT_EQ(stream.seek(-1), -1);      // a position before the start fails with all bits set
}

TEST_F(FileStreamTest, CreateTruncatesAndOpenAlwaysKeeps) {
    writeFile("out.bin", "old content");
    {
        FileStream stream;
        ASSERT_EQ(stream.open("out.bin", 4 | 1), 1);
        EXPECT_EQ(stream.size(), 0);
        EXPECT_EQ(stream.writeU32(0x64636261), 4);
        EXPECT_EQ(stream.flush(), 1);
    }
    EXPECT_EQ(contentOf("out.bin"), "abcd");
    {
        FileStream stream;
        ASSERT_EQ(stream.open("out.bin", 8 | 2), 1);
        EXPECT_EQ(stream.size(), 4);
        stream.seekFromEnd(0);
        EXPECT_EQ(stream.writeString("ef"), 2);
        stream.seek(0);
        EXPECT_EQ(stream.readU16(), 0x6261);
    }
    EXPECT_EQ(contentOf("out.bin"), "abcdef");
    FileStream created;
    ASSERT_EQ(created.open("new.bin", 8 | 1), 1);
    EXPECT_EQ(created.size(), 0);
}

TEST_F(FileStreamTest, NamesIgnoreCaseAndAcceptBackslashes) {
    writeFile("Data/Images/Pic.WMJ", "picture");
    writeFile("a.txt", "lower");
    writeFile("A.txt", "upper");
    std::filesystem::create_directory("folder");
    FileStream stream;
    ASSERT_EQ(stream.open("data\\images\\pic.wmj", 0), 1);
    EXPECT_EQ(readAll(&stream), "picture");
    ASSERT_EQ(stream.open("DATA/IMAGES/PIC.wmj", 0), 1);
    EXPECT_EQ(stream.open("data/images/pic.wmj2", 0), 0);
    EXPECT_EQ(stream.open("folder", 0), 0);  // directories are not files
    ASSERT_EQ(stream.open("A.txt", 0), 1);   // the exact name wins
    EXPECT_EQ(readAll(&stream), "upper");
    ASSERT_EQ(stream.open("a.TXT", 0), 1);
    EXPECT_EQ(readAll(&stream), "upper");  // the smallest of the like names
    // A new file is created in the matching directory under its given name.
    ASSERT_EQ(stream.open("data/images/New.txt", 4 | 1), 1);
    stream.close();
    EXPECT_EQ(access("Data/Images/New.txt", F_OK), 0);
}

// Other file streams may read along but never write (nor open while one
// writes); a mapped file is shared with nobody, in this process or another.
TEST_F(FileStreamTest, SharingRules) {
    writeFile("shared.txt", "data");
    FileStream first, reader, writer;
    MappedFileStream mapped, second;
    ASSERT_EQ(first.open("shared.txt", 0), 1);
    EXPECT_EQ(reader.open("shared.txt", 0), 1);
    EXPECT_EQ(writer.open("shared.txt", 2), 0);
    EXPECT_EQ(mapped.openMapped("shared.txt"), 0);
    first.close();
    reader.close();
    ASSERT_EQ(writer.open("shared.txt", 1), 1);
    EXPECT_EQ(reader.open("shared.txt", 0), 0);
    writer.close();
    ASSERT_EQ(mapped.openMapped("SHARED.TXT"), 1);
    EXPECT_EQ(reader.open("shared.txt", 0), 0);
    EXPECT_EQ(second.openMapped("shared.txt"), 0);
    // flock -n fails on a held lock.
    EXPECT_NE(std::system("flock -n -s shared.txt true 2>/dev/null"), 0);
    mapped.close();
    EXPECT_EQ(std::system("flock -n -s shared.txt true"), 0);
    EXPECT_EQ(reader.open("shared.txt", 0), 1);
}

TEST_F(FileStreamTest, MapsTheWholeFileReadOnly) {
    writeFile("mapped.bin", "0123456789");
    writeFile("empty.bin", "");
    MappedFileStream stream("mapped.bin");
    EXPECT_EQ(readAll(&stream), "0123456789");
    EXPECT_EQ(stream.isReadOnly(), 1);
    stream.seek(0);
    EXPECT_EQ(stream.write("zz", 2), 0);
    EXPECT_EQ(contentOf("mapped.bin"), "0123456789");
    stream.close();
    EXPECT_EQ(stream.openMapped("missing.bin"), 0);
    ASSERT_EQ(stream.openMapped("empty.bin"), 1);
    EXPECT_EQ(stream.size(), 0);
    ASSERT_EQ(stream.openMapped("mapped.bin"), 1);
    EXPECT_EQ(stream.size(), 10);
    // Opening another file releases the first one.
    ASSERT_EQ(stream.openMapped("empty.bin"), 1);
    FileStream reader;
    EXPECT_EQ(reader.open("mapped.bin", 0), 1);
}
