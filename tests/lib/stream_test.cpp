// Streams: memory streams and what every stream inherits (positions, typed
// values, copies and strings), the heap under them; disk files as plain
// streams (case-insensitive names, sharing rules) and mapped ones (whole file,
// read-only, locked against every other opener).
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "lib/heap.h"
#include "lib/stream.h"
#include "test_support.h"

using FileStreamTest = InScratch;

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
    EXPECT_EQ(readFile("out.bin"), "abcd");
    {
        FileStream stream;
        ASSERT_EQ(stream.open("out.bin", 8 | 2), 1);
        EXPECT_EQ(stream.size(), 4);
        stream.seekFromEnd(0);
        EXPECT_EQ(stream.writeString("ef"), 2);
        stream.seek(0);
        EXPECT_EQ(stream.readU16(), 0x6261);
    }
    EXPECT_EQ(readFile("out.bin"), "abcdef");
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
    EXPECT_EQ(readFile("mapped.bin"), "0123456789");
    stream.close();
    EXPECT_EQ(stream.openMapped("missing.bin"), 0);
    ASSERT_EQ(stream.openMapped("empty.bin"), 1);
    EXPECT_EQ(stream.size(), 0);
    ASSERT_EQ(stream.openMapped("mapped.bin"), 1);
    // Opening another file releases the first one.
    ASSERT_EQ(stream.openMapped("empty.bin"), 1);
    FileStream reader;
    EXPECT_EQ(reader.open("mapped.bin", 0), 1);
}

TEST(MemoryStream, ReadWriteAndSeekStayInsideTheBlock) {
    uint8_t block[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE};
    MemoryStream stream(block, 10, 0);
    uint8_t out[5] = {};
    EXPECT_EQ(stream.read(nullptr, 2), 0);
    EXPECT_EQ(stream.read(out, -3), 0);
    EXPECT_EQ(stream.tell(), 0);
    EXPECT_EQ(stream.seek(8), 8);
    EXPECT_EQ(stream.atEnd(), 0);
    EXPECT_EQ(stream.read(out, 5), 2);
    EXPECT_EQ(out[0] * 10 + out[1], 89);
    EXPECT_EQ(stream.atEnd(), 1);
    EXPECT_EQ(stream.read(out, 5), 0);

    EXPECT_EQ(stream.seek(-5), 0);
    EXPECT_EQ(stream.seek(110), 10);
    EXPECT_EQ(stream.seekFromEnd(-4), 6);
    EXPECT_EQ(stream.seekRelative(-20), 0);
    EXPECT_EQ(stream.seekRelative(3), 3);
    EXPECT_EQ(stream.seekChained(7), &stream);
    EXPECT_EQ(stream.tell(), 7);
    EXPECT_EQ(stream.flush(), 1);

    EXPECT_EQ(stream.write("abcdef", 6), 3);  // never grows the block
    EXPECT_EQ(std::memcmp(block + 7, "abc\xEE", 4), 0);
    EXPECT_EQ(stream.write("x", 1), 0);
    EXPECT_EQ(stream.write(nullptr, 1), 0);
    stream.seek(8);
    EXPECT_EQ(stream.writeExact("ab", 2), 1);
    EXPECT_EQ(stream.writeExact("c", 1), 0);
    stream.seek(7);
    EXPECT_EQ(stream.readExact(out, 3), 1);
    EXPECT_EQ(stream.readExact(out, 1), 0);
    MemoryStream empty;
    EXPECT_EQ(empty.read(out, 4), 0);
}

TEST(MemoryStream, BlockOwnership) {
    uint8_t block[4] = {1, 2, 3, 4};
    MemoryStream stream;
    EXPECT_EQ(stream.attach(nullptr, 10, 0), 0);
    EXPECT_EQ(stream.attach(block, 0, 0), 0);
    EXPECT_EQ(stream.attach(block, 4, 0), 1);
    stream.seek(2);
    EXPECT_EQ(stream.detach(), nullptr);  // only an owned block is handed over
    EXPECT_EQ(stream.tell(), 2);
    EXPECT_EQ(stream.data(), block);

    MemoryStream owned;
    EXPECT_EQ(owned.allocate(0), 0);
    ASSERT_EQ(owned.allocate(8), 1);
    EXPECT_EQ(owned.isOwned(), 1);
    void* taken = owned.detach();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(owned.size(), 0);
    EXPECT_EQ(owned.detach(), nullptr);
    heapFree(taken);
    ASSERT_EQ(owned.allocate(5), 1);
    owned.seek(3);
    owned.close();  // empties the stream but keeps its flags
    EXPECT_EQ(owned.size(), 0);
    EXPECT_EQ(owned.tell(), 0);
    EXPECT_EQ(owned.isOwned(), 1);
}

// Every typed reader and writer: its width and its little-endian raw bytes.
TEST(MemoryStream, TypedValuesAreLittleEndianRawBytes) {
    struct Case {
        const char* name;
        int width;
        std::function<int32_t(Stream&)> write;
        std::function<bool(Stream&)> readsBack;
    };
#define ROW(T, width, value) \
    {#T, width, [](Stream& s) { return s.write##T(value); }, [](Stream& s) { return s.read##T() == value; }}
    const Case cases[] = {
        ROW(Int, 4, -2), ROW(UInt, 4, 0xFFFFFFFEu), ROW(Long, 4, -2), ROW(ULong, 4, 0xFFFFFFFEu),
        ROW(U32, 4, 0xFFFFFFFEu), ROW(Int64, 8, -2), ROW(U64, 8, ~1ull), ROW(Short, 2, -2), ROW(UShort, 2, 0xFFFE),
        ROW(U16, 2, 0xFFFE), ROW(Char, 1, '\xFE'), ROW(UChar, 1, 0xFE), ROW(U8, 1, 0xFE),
#undef ROW
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t block[10];
        std::memset(block, 0x55, sizeof block);
        MemoryStream stream(block, 9, 0);
        EXPECT_EQ(c.write(stream), c.width);
        // -2 in every width: FE then FF up to the width, nothing after.
        EXPECT_EQ(block[0], 0xFE);
        for (int i = 1; i < c.width; ++i) EXPECT_EQ(block[i], 0xFF) << i;
        EXPECT_EQ(block[c.width], 0x55);
        stream.seek(0);
        EXPECT_TRUE(c.readsBack(stream));
        EXPECT_EQ(stream.tell(), c.width);
    }
    uint8_t block[16] = {};
    MemoryStream stream(block, 16, 0);
    EXPECT_EQ(stream.writeDouble(0.5), 8);
    EXPECT_EQ(stream.writeFloat(-1.25f), 4);
    EXPECT_EQ(block[7], 0x3F);   // 0.5 is 3FE0000000000000
    EXPECT_EQ(block[11], 0xBF);  // -1.25f is BFA00000
    stream.seek(0);
    EXPECT_EQ(stream.readDouble(), 0.5);
    EXPECT_EQ(stream.readFloat(), -1.25f);
    // A value cut short by the end of the stream reads its missing bytes as zero.
    stream.seek(14);
    EXPECT_EQ(stream.readU32(), 0u);
}

// A source that records the largest read asked of it.
class CountingStream : public MemoryStream {
public:
    using MemoryStream::MemoryStream;
    int32_t read(void* destination, int32_t count) override {
        if (count > largestRead) largestRead = count;
        return MemoryStream::read(destination, count);
    }
    int32_t largestRead = 0;
};

// Copies go in steps of 64 KiB whatever the count, and stop at the end of the
// source, at the count or when the destination is full.
TEST(MemoryStream, CopyFromMovesItsCountInSixtyFourKiBSteps) {
    const int32_t sourceSize = 200000;
    std::vector<uint8_t> source(sourceSize);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7 + i / 256);
    struct Case {
        int32_t start, count, targetSize, copied, largestRead;
    };
    const Case cases[] = {
        {5, 0, 300000, sourceSize - 5, 65536},      {0, 65535, 300000, 65535, 65535},
        {0, 65536, 300000, 65536, 65536},          {1, 65537, 300000, 65537, 65536},
        {0, -1, 300, 300, 65536},                  {sourceSize - 10, 65536, 300000, 10, 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " + " << c.count);
        std::vector<uint8_t> target(c.targetSize + 1, 0);
        CountingStream from(source.data(), sourceSize, 0);
        MemoryStream to(target.data(), c.targetSize, 0);
        from.seek(c.start);
        EXPECT_EQ(to.copyFrom(&from, c.count), c.copied);
        EXPECT_EQ(std::memcmp(target.data(), source.data() + c.start, c.copied), 0);
        EXPECT_EQ(target[c.copied], 0);
        EXPECT_EQ(from.largestRead, c.largestRead);
        if (c.targetSize > sourceSize) {
            EXPECT_EQ(from.tell(), c.start + c.copied);
        }
    }
}

TEST(MemoryStream, PadAndAlign) {
    uint8_t block[16];
    std::memset(block, 0x77, sizeof block);
    MemoryStream stream(block, 16, 0);
    stream.seek(6);
    EXPECT_EQ(stream.padTo(4, 0), 8);
    EXPECT_EQ(block[5] + block[6] + block[7] + block[8], 0x77 + 0x77);
    EXPECT_EQ(stream.padTo(4, 0), 8);
    EXPECT_EQ(block[8], 0x77);
    stream.seek(9);
    EXPECT_EQ(stream.alignPosition(8), 16);
    stream.seek(8);
    EXPECT_EQ(stream.alignPosition(8), 8);
}

TEST(MemoryStream, TerminatedStrings) {
    struct Case {
        const char* text;
        int32_t capacity;
        const char* stored;
        int32_t after;  // position after the read
        char last;      // the character returned
    };
    const Case cases[] = {
        {"ab|x", 4, "ab", 3, '|'},        // stops at the terminator
        {"abcdef|xyz", 4, "abc", 7, '|'},  // skips what does not fit
        {"abc", 8, "abc", 3, 'c'},         // ends at the end of the stream
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MemoryStream stream(const_cast<char*>(c.text), static_cast<int32_t>(std::strlen(c.text)), 0);
        char buffer[8];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(stream.readString(buffer, c.capacity, '|'), c.last);
        EXPECT_STREQ(buffer, c.stored);
        EXPECT_EQ(stream.tell(), c.after);
    }
    uint16_t text[] = {'h', 'i', 0x263A, '\n', 'z'};
    MemoryStream stream(text, sizeof text, 0);
    uint16_t buffer[8];
    EXPECT_EQ(stream.readWideString(buffer, 8, '\n'), '\n');
    EXPECT_EQ(buffer[2], 0x263A);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(stream.tell(), 8);

    uint8_t block[16] = {};
    MemoryStream out(block, 16, 0);
    const uint16_t wide[] = {'a', 0x0100, 0};
    EXPECT_EQ(out.writeWideString(wide), 4);
    EXPECT_EQ(out.writeString("xyz"), 3);
    EXPECT_EQ(out.writeString(nullptr), 0);
    EXPECT_EQ(out.writeWideString(nullptr), 0);
    EXPECT_EQ(block[2] * 256 + block[3], 1);
    EXPECT_EQ(block[4], 'x');
    EXPECT_EQ(out.tell(), 7);
}

// Blocks keep the allocator's alignment; a size that would overflow with the
// block's header is refused.
TEST(Heap, BlocksAreAlignedAndOverflowIsRefused) {
    void* block = heapAlloc(100);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
    heapFree(block);
    EXPECT_EQ(heapAlloc(static_cast<size_t>(-1)), nullptr);
}
