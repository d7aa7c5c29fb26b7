#pragma once
// Shared pieces of the file-system tests: a scratch working directory and
// archive bytes built field by field (so damaged archives can be made too).
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Runs each test in a fresh, empty working directory and goes back after.
class ScratchDirectory : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path_;

private:
    std::string previous_;
};

void writeFile(const std::string& path, const std::string& bytes);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(const std::string& text);

struct TestMember {
    std::string name;
    std::vector<uint8_t> packed;  // as stored in the data area
    uint32_t unpackedSize;
    uint32_t method;
};

TestMember storedMember(const std::string& name, const std::string& content);
TestMember zlibMember(const std::string& name, const std::string& content);

struct TestArchive {
    uint16_t kind = 0;
    uint16_t version = 1;
    std::string name = "archive";
    std::string baseName;
    std::string note = "note";
    uint32_t priority = 0;
    uint32_t directoryMethod = 0;  // 0 or 2 (zlib)
    std::vector<TestMember> members;

    std::vector<uint8_t> directory() const;  // unpacked
    std::vector<uint8_t> bytes() const;
};

std::vector<uint8_t> deflateBytes(const std::vector<uint8_t>& data);

// Writes the 47-byte header in front of `directory` (packed as given) and data.
std::vector<uint8_t> archiveWithDirectory(uint16_t kind, uint32_t method, const std::vector<uint8_t>& packedDirectory,
                                          uint32_t unpackedSize, const std::vector<uint8_t>& data);

void putU32(std::vector<uint8_t>& out, uint32_t value);

// Reads the whole remainder of a stream.
class Stream;
std::string readAll(Stream* stream);
