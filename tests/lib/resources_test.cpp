#include <cstring>

#include <gtest/gtest.h>

#include "lib/file_system.h"
#include "lib/stream.h"
#include "test_support.h"

TEST(Resources, OpenResourceFindsEmbeddedBytes) {
    MemoryStream stream;
    ASSERT_EQ(stream.openResource(7), 1);
    EXPECT_EQ(readAll(&stream), "resource seven\n");
    EXPECT_EQ(stream.isReadOnly(), 1);
    EXPECT_EQ(stream.isOwned(), 0);
    stream.seek(0);
    EXPECT_EQ(stream.write("X", 1), 0);
    char first = 0;
    stream.read(&first, 1);
    EXPECT_EQ(first, 'r');
}

TEST(Resources, NumbersUseTheirLow16Bits) {
    MemoryStream stream;
    EXPECT_EQ(stream.openResource(7 + 65536), 1);
    EXPECT_EQ(stream.openResource(8), 0);
    EXPECT_EQ(stream.openResource(0), 0);
}

using ResourceNames = ScratchDirectory;

TEST_F(ResourceNames, ResNamesInAnyCase) {
    for (const char* name : {"res:7", "RES:7", "Res: 7", "res:+7", "res:300"}) {
        Stream* stream = openFile(name);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_FALSE(readAll(stream).empty());
        delete stream;
    }
    int32_t size = 0;
    Stream* stream = openFile("res:300", &size);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(size, 28);
    delete stream;
}

TEST_F(ResourceNames, MissingNumbersFail) {
    EXPECT_EQ(openFile("res:x"), nullptr);  // resource 0
    EXPECT_EQ(openFile("res:8"), nullptr);
    EXPECT_EQ(openFile("res:"), nullptr);
}

TEST_F(ResourceNames, AlternativesAreTriedInOrder) {
    Stream* stream = openFile("missing.txt|res:7");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "resource seven\n");
    delete stream;

    writeFile("missing.txt", "now on disk");
    stream = openFile("missing.txt|res:7");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "now on disk");
    delete stream;

    stream = openFile("res:9|res:300|missing.txt");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "second resource, number 300\n");
    delete stream;
}
