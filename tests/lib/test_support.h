#pragma once
// Shared pieces of the file-system tests: a scratch working directory and
// archive bytes built field by field (so damaged archives can be made too).
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/scratch_directory.h"

class ArchiveFileSystem;
class Stream;

// Runs each test in a fresh, empty working directory.
class InScratch : public ::testing::Test {
protected:
    ScratchDirectory scratch_;
};

void writeFile(const std::string& path, const std::string& bytes);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(const std::string& text);
std::vector<uint8_t> deflateBytes(const std::vector<uint8_t>& data);
// Reads the whole remainder of a stream.
std::string readAll(Stream* stream);

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
    std::string name = "archive", baseName, note = "note";
    uint32_t priority = 0;
    uint32_t directoryMethod = 0;  // 0 or 2 (zlib)
    std::vector<TestMember> members;

    std::vector<uint8_t> directory() const;  // unpacked
    std::vector<uint8_t> bytes() const;
};

// Writes the 47-byte header in front of `directory` (packed as given) and data.
std::vector<uint8_t> archiveWithDirectory(uint16_t kind, uint32_t method, const std::vector<uint8_t>& packedDirectory,
                                          uint32_t unpackedSize, const std::vector<uint8_t>& data);

// Mounts `bytes` from a memory stream the file system owns.
int32_t mountBytes(ArchiveFileSystem& fs, const std::vector<uint8_t>& bytes, int32_t resident = 1);
