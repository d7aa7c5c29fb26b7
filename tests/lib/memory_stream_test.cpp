#include <cstring>

#include <gtest/gtest.h>

#include "lib/heap.h"
#include "lib/stream.h"

TEST(MemoryStream, ReadNearTheEndDeliversWhatIsLeft) {
    uint8_t block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryStream stream(block, 10, 0);
    EXPECT_EQ(stream.seek(8), 8);
    EXPECT_EQ(stream.atEnd(), 0);
    uint8_t out[5] = {};
    EXPECT_EQ(stream.read(out, 5), 2);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[1], 9);
    EXPECT_EQ(stream.tell(), 10);
    EXPECT_EQ(stream.atEnd(), 1);
    EXPECT_EQ(stream.read(out, 5), 0);
}

TEST(MemoryStream, ReadRefusesNullAndNegativeCounts) {
    uint8_t block[4] = {1, 2, 3, 4};
    MemoryStream stream(block, 4, 0);
    EXPECT_EQ(stream.read(nullptr, 2), 0);
    uint8_t out[4];
    EXPECT_EQ(stream.read(out, -3), 0);
    EXPECT_EQ(stream.tell(), 0);
    MemoryStream empty;
    EXPECT_EQ(empty.read(out, 4), 0);
}

TEST(MemoryStream, SeekClampsToTheBlock) {
    uint8_t block[16] = {};
    MemoryStream stream(block, 16, 0);
    EXPECT_EQ(stream.seek(-5), 0);
    EXPECT_EQ(stream.tell(), 0);
    EXPECT_EQ(stream.seek(16 + 100), 16);
    EXPECT_EQ(stream.tell(), 16);
    EXPECT_EQ(stream.seekFromEnd(-4), 12);
    EXPECT_EQ(stream.seekRelative(-20), 0);
    EXPECT_EQ(stream.seekRelative(3), 3);
    EXPECT_EQ(stream.seekChained(7), &stream);
    EXPECT_EQ(stream.tell(), 7);
    EXPECT_EQ(stream.flush(), 1);
}

TEST(MemoryStream, WriteNeverGrowsTheBlock) {
    uint8_t block[6] = {0, 0, 0, 0, 0, 0xEE};
    MemoryStream stream(block, 5, 0);
    stream.seek(3);
    EXPECT_EQ(stream.write("abcdef", 6), 2);
    EXPECT_EQ(std::memcmp(block, "\0\0\0ab", 5), 0);
    EXPECT_EQ(block[5], 0xEE);
    EXPECT_EQ(stream.tell(), 5);
    EXPECT_EQ(stream.write("x", 1), 0);
    EXPECT_EQ(stream.write(nullptr, 1), 0);
}

TEST(MemoryStream, AttachNeedsABlockAndASize) {
    uint8_t block[4] = {};
    MemoryStream stream;
    EXPECT_EQ(stream.attach(nullptr, 10, 0), 0);
    EXPECT_EQ(stream.attach(block, 0, 0), 0);
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(stream.attach(block, 4, 0), 1);
    EXPECT_EQ(stream.size(), 4);
}

TEST(MemoryStream, DetachHandsOverOnlyAnOwnedBlock) {
    uint8_t block[4] = {1, 2, 3, 4};
    MemoryStream unowned(block, 4, 0);
    unowned.seek(2);
    EXPECT_EQ(unowned.detach(), nullptr);
    EXPECT_EQ(unowned.size(), 4);
    EXPECT_EQ(unowned.tell(), 2);
    EXPECT_EQ(unowned.data(), block);

    MemoryStream owned;
    ASSERT_EQ(owned.allocate(8), 1);
    EXPECT_EQ(owned.size(), 8);
    void* taken = owned.detach();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(owned.size(), 0);
    EXPECT_EQ(owned.data(), nullptr);
    EXPECT_EQ(owned.detach(), nullptr);
    heapFree(taken);
}

TEST(MemoryStream, AllocateOfNothingHoldsNothing) {
    MemoryStream stream;
    EXPECT_EQ(stream.allocate(0), 0);
    EXPECT_EQ(stream.allocate(-4), 0);
    EXPECT_EQ(stream.data(), nullptr);
    EXPECT_EQ(stream.allocate(3), 1);
    EXPECT_EQ(stream.isOwned(), 1);
}

TEST(MemoryStream, CloseKeepsTheFlagsAndEmptiesTheStream) {
    MemoryStream stream;
    ASSERT_EQ(stream.allocate(5), 1);
    stream.seek(3);
    stream.close();
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(stream.tell(), 0);
    EXPECT_EQ(stream.data(), nullptr);
    EXPECT_EQ(stream.isOwned(), 1);
}

TEST(MemoryStream, LoadFromStreamTakesTheSourcesRemainder) {
    const char text[] = "0123456789";
    MemoryStream source(const_cast<char*>(text), 10, 0);
    source.seek(4);
    MemoryStream copy;
    EXPECT_EQ(copy.loadFromStream(&source, -1), 1);
    EXPECT_EQ(copy.size(), 6);
    EXPECT_EQ(std::memcmp(copy.data(), "456789", 6), 0);
    EXPECT_EQ(source.tell(), 10);

    source.seek(1);
    EXPECT_EQ(copy.loadFromStream(&source, 3), 1);
    EXPECT_EQ(copy.size(), 3);
    EXPECT_EQ(std::memcmp(copy.data(), "123", 3), 0);
    EXPECT_EQ(source.tell(), 4);
    EXPECT_EQ(copy.isOwned(), 1);
    EXPECT_EQ(copy.tell(), 0);
}

TEST(MemoryStream, TypedValuesAreLittleEndianRawBytes) {
    uint8_t block[64] = {};
    MemoryStream stream(block, 64, 0);
    EXPECT_EQ(stream.writeU32(0x11223344u), 4);
    EXPECT_EQ(stream.writeU16(0xA1B2), 2);
    EXPECT_EQ(stream.writeInt64(-2), 8);
    EXPECT_EQ(stream.writeDouble(0.5), 8);
    EXPECT_EQ(stream.writeFloat(-1.25f), 4);
    EXPECT_EQ(stream.writeChar('z'), 1);
    EXPECT_EQ(stream.writeShort(-300), 2);
    EXPECT_EQ(block[0], 0x44);
    EXPECT_EQ(block[3], 0x11);
    EXPECT_EQ(block[4], 0xB2);
    EXPECT_EQ(block[5], 0xA1);
    stream.seek(0);
    EXPECT_EQ(stream.readU32(), 0x11223344u);
    EXPECT_EQ(stream.readU16(), 0xA1B2);
    EXPECT_EQ(stream.readInt64(), -2);
    EXPECT_EQ(stream.readDouble(), 0.5);
    EXPECT_EQ(stream.readFloat(), -1.25f);
    EXPECT_EQ(stream.readChar(), 'z');
    EXPECT_EQ(stream.readShort(), -300);
    EXPECT_EQ(stream.tell(), 29);
}

TEST(MemoryStream, CopyFromMovesTheWholeRemainder) {
    std::vector<uint8_t> source(200000);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7 + i / 256);
    std::vector<uint8_t> target(300000, 0);
    MemoryStream from(source.data(), static_cast<int32_t>(source.size()), 0);
    MemoryStream to(target.data(), static_cast<int32_t>(target.size()), 0);
    from.seek(5);
    EXPECT_EQ(to.copyFrom(&from, 0), 199995);
    EXPECT_EQ(std::memcmp(target.data(), source.data() + 5, 199995), 0);
    EXPECT_EQ(target[199995], 0);
    EXPECT_EQ(from.atEnd(), 1);

    from.seek(0);
    to.seek(0);
    EXPECT_EQ(to.copyFrom(&from, 70000), 70000);
    EXPECT_EQ(from.tell(), 70000);
}

TEST(MemoryStream, CopyFromStopsWhenTheDestinationIsFull) {
    std::vector<uint8_t> source(1000, 0x5A);
    std::vector<uint8_t> target(300, 0);
    MemoryStream from(source.data(), 1000, 0);
    MemoryStream to(target.data(), 300, 0);
    EXPECT_EQ(to.copyFrom(&from, -1), 300);
}

TEST(MemoryStream, PadAndAlign) {
    uint8_t block[16];
    std::memset(block, 0x77, sizeof block);
    MemoryStream stream(block, 16, 0);
    stream.seek(6);
    EXPECT_EQ(stream.padTo(4, 0), 8);
    EXPECT_EQ(block[6], 0);
    EXPECT_EQ(block[7], 0);
    EXPECT_EQ(block[8], 0x77);
    EXPECT_EQ(stream.padTo(4, 0), 8);
    EXPECT_EQ(block[8], 0x77);
    stream.seek(9);
    EXPECT_EQ(stream.alignPosition(8), 16);
    stream.seek(8);
    EXPECT_EQ(stream.alignPosition(8), 8);
}

TEST(MemoryStream, ReadStringStopsAtTheTerminator) {
    char text[] = {'a', 'b', '|', 'x'};
    MemoryStream stream(text, 4, 0);
    char buffer[4];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(stream.readString(buffer, 4, '|'), '|');
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(stream.tell(), 3);
}

TEST(MemoryStream, ReadStringSkipsWhatDoesNotFit) {
    char text[] = "abcdef|xyz";
    MemoryStream stream(text, 10, 0);
    char buffer[4];
    EXPECT_EQ(stream.readString(buffer, 4, '|'), '|');
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(stream.readChar(), 'x');
}

TEST(MemoryStream, ReadStringEndsAtTheEndOfTheStream) {
    char text[] = "abc";
    MemoryStream stream(text, 3, 0);
    char buffer[8];
    stream.readString(buffer, 8, '|');
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(stream.atEnd(), 1);
}

TEST(MemoryStream, WideStrings) {
    uint16_t text[] = {'h', 'i', 0x263A, '\n', 'z'};
    MemoryStream stream(text, sizeof text, 0);
    uint16_t buffer[8];
    EXPECT_EQ(stream.readWideString(buffer, 8, '\n'), '\n');
    EXPECT_EQ(buffer[0], 'h');
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
    EXPECT_EQ(block[2], 0x00);
    EXPECT_EQ(block[3], 0x01);
    EXPECT_EQ(block[4], 'x');
    EXPECT_EQ(out.tell(), 7);
}

TEST(MemoryStream, ReadExactAndWriteExact) {
    uint8_t block[4] = {};
    MemoryStream stream(block, 4, 0);
    EXPECT_EQ(stream.writeExact("abc", 3), 1);
    EXPECT_EQ(stream.writeExact("de", 2), 0);
    stream.seek(0);
    char out[8];
    EXPECT_EQ(stream.readExact(out, 3), 1);
    EXPECT_EQ(stream.readExact(out, 3), 0);
}

TEST(Heap, BlocksAreUsableAndNullIsIgnored) {
    heapFree(nullptr);
    void* block = heapAlloc(100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
    std::memset(block, 0xAB, 100);
    heapFree(block);
    EXPECT_EQ(heapAlloc(static_cast<size_t>(-1)), nullptr);
}
