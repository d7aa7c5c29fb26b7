// A mapped view keeps the size the file had when it was mapped: a file that
// grows afterwards must not be read past the view.
#include <fstream>
#include <string>

#include "lib/stream.h"
#include "platform/files.h"
#include "test_support.h"

using FileMappingTest = ScratchDirectory;

TEST_F(FileMappingTest, AFileThatGrowsAfterMappingKeepsTheMappedSize) {
    writeFile("growing.bin", std::string(100, 'a'));
    PlatformFileHandle file = platformOpenFile("growing.bin", PlatformAccessRead, PlatformOpenExisting,
                                               PlatformShareReadWrite);
    ASSERT_NE(file, kInvalidFileHandle);
    PlatformMappingHandle mapping = platformCreateMapping(file);
    ASSERT_NE(mapping, 0);
    {
        std::ofstream grow("growing.bin", std::ios::binary | std::ios::app);
        grow << std::string(1 << 20, 'b');
    }
    const void* view = platformMapView(mapping);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(platformMappingSize(mapping), 100);
    EXPECT_EQ(platformFileSize(file), 100 + (1 << 20));  // the file itself did grow
    EXPECT_EQ(static_cast<const char*>(view)[99], 'a');
    platformUnmapView(mapping, view);
    platformCloseMapping(mapping);
    platformCloseFile(file);

    // The stream reads the whole file as it is when it is mapped.
    MappedFileStream stream("growing.bin");
    EXPECT_EQ(stream.size(), 100 + (1 << 20));
    char last = 0;
    stream.seekFromEnd(-1);
    EXPECT_EQ(stream.read(&last, 1), 1);
    EXPECT_EQ(last, 'b');
}
