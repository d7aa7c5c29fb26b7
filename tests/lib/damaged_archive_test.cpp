// Damaged archives: whatever the bytes, mounting and opening stay inside the
// archive's data and never crash (compressed damage is the fatal report, so
// only stored data is damaged here).
#include <cstring>
#include <random>

#include "lib/archive_file_system.h"
#include "test_support.h"

TEST(DamagedArchives, RandomDamageIsRejectedOrReadSafely) {
    TestArchive archive;
    archive.name = "damaged";
    archive.members = {storedMember("data/images/0100.wmj", std::string(300, 'p')),
                       storedMember("data/text/velandora.txt", "caption one\ncaption two\n"),
                       storedMember("empty", "")};
    const std::vector<uint8_t> original = archive.bytes();
    std::mt19937 random(2024);
    int mounted = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes = original;
        // Mostly the header and directory, where the sizes are.
        for (int i = 0, flips = 1 + static_cast<int>(random() % 4); i < flips; ++i)
            bytes[random() % (round % 3 == 0 ? bytes.size() : 140)] = static_cast<uint8_t>(random());
        if (round % 5 == 0) bytes.resize(random() % bytes.size());
        // Method bytes other than stored would reach a codec with garbage.
        if (bytes.size() > 38) bytes[35] = bytes[36] = bytes[37] = bytes[38] = 0;
        ArchiveFileSystem fs;
        if (!mountBytes(fs, bytes, round % 2)) continue;
        ++mounted;
        for (EntryRecord* entry : fs.entries()) {
            ASSERT_LE(std::strlen(entry->name), entry->nameLength);
            if (entry->method != 0) continue;
            if (!fs.openEntry(entry)) {
                EXPECT_GT(entry->offset + entry->packedSize, static_cast<int64_t>(bytes.size()));
                continue;
            }
            Stream* member = fs.takeCurrent();
            std::string content = readAll(member);
            EXPECT_EQ(content.size(), entry->packedSize);
            EXPECT_EQ(0, std::memcmp(content.data(), bytes.data() + entry->offset, content.size()));
            delete member;
        }
    }
    EXPECT_GT(mounted, 100);  // damage outside the directory leaves many archives mountable
}
