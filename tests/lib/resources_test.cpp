// Resources embedded in the program: opened by number, or as "res:N" names.
#include <cstring>

#include "lib/file_system.h"
#include "lib/stream.h"
#include "test_support.h"

TEST(Resources, OpenResourceFindsEmbeddedBytesReadOnly) {
    MemoryStream stream;
    EXPECT_EQ(stream.openResource(8), 0);
    EXPECT_EQ(stream.openResource(0), 0);
    ASSERT_EQ(stream.openResource(7 + 65536), 1);  // numbers use their low 16 bits
    EXPECT_EQ(readAll(&stream), "resource seven\n");
    EXPECT_EQ(stream.isReadOnly(), 1);
    EXPECT_EQ(stream.isOwned(), 0);
    stream.seek(0);
    EXPECT_EQ(stream.write("X", 1), 0);
    EXPECT_EQ(readAll(&stream), "resource seven\n");
}

using ResourceNames = InScratch;

TEST_F(ResourceNames, ResNamesAndAlternatives) {
    const std::pair<const char*, const char*> cases[] = {
        {"res:7", "resource seven\n"}, {"RES:7", "resource seven\n"}, {"Res: 7", "resource seven\n"},
        {"res:+7", "resource seven\n"}, {"res:300", "second resource, number 300\n"},
        {"res:x", nullptr},  // resource 0
        {"res:8", nullptr}, {"res:", nullptr}, {"missing.txt|res:7", "resource seven\n"},
        {"res:9|res:300|missing.txt", "second resource, number 300\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        int32_t size = -1;
        Stream* stream = openFile(c.first, &size);
        ASSERT_EQ(stream != nullptr, c.second != nullptr);
        if (!stream) continue;
        EXPECT_EQ(readAll(stream), c.second);
        EXPECT_EQ(size, static_cast<int32_t>(std::strlen(c.second)));
        delete stream;
    }
    writeFile("missing.txt", "now on disk");
    Stream* stream = openFile("missing.txt|res:7");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "now on disk");
    delete stream;
}
