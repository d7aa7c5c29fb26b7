#include "bad_input_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

void ScratchTest::SetUp() {
    char* current = getcwd(nullptr, 0);
    ASSERT_NE(current, nullptr);
    previous_ = current;
    std::free(current);
    char pattern[] = "/tmp/velandora-bad-input-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    ASSERT_EQ(chdir(directory_.c_str()), 0);
}

void ScratchTest::TearDown() {
    EXPECT_EQ(chdir(previous_.c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::filesystem::path file(path);
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    }
    std::fclose(out);
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes truncated(const Bytes& bytes, size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}

Bytes patchedU32(Bytes bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
    return bytes;
}

Bytes patchedU16(Bytes bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = uint8_t(value);
    bytes.at(offset + 1) = uint8_t(value >> 8);
    return bytes;
}

Bytes garbage(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = uint8_t(state >> 24);
    }
    return bytes;
}
