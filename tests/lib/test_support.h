#pragma once
// Shared pieces of the file-system and archive tests: a scratch working
// directory and archive bytes built field by field (so damaged archives can
// be made too).
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/scratch_directory.h"

class ArchiveFileSystem;
class Stream;

using Bytes = std::vector<uint8_t>;

// Runs each test in a fresh, empty working directory.
class InScratch : public ::testing::Test {
protected:
    ScratchDirectory scratch_;
};

// Writes a file below the working directory, making its directories.
void writeFile(const std::string& path, const std::string& bytes);
void writeFile(const std::string& path, const Bytes& bytes);
std::string readFile(const std::string& path);
Bytes bytesOf(const std::string& text);
Bytes deflateBytes(const Bytes& data);
// Reads the whole remainder of a stream.
std::string readAll(Stream* stream);

struct TestMember {
    std::string name;
    Bytes packed;  // as stored in the data area
    uint32_t unpackedSize;
    uint32_t method;
};

TestMember storedMember(const std::string& name, const std::string& content);
TestMember zlibMember(const std::string& name, const std::string& content);

struct TestArchive {
    uint16_t kind = 0;
    std::string name = "archive", baseName, note = "note";
    uint32_t priority = 0;
    uint32_t directoryMethod = 0;  // 0 or 2 (zlib)
    std::vector<TestMember> members;

    Bytes directory() const;  // unpacked
    Bytes bytes() const;
};

// Writes the 47-byte header in front of `directory` (packed as given) and data.
Bytes archiveWithDirectory(uint16_t kind, uint32_t method, const Bytes& packedDirectory, uint32_t unpackedSize,
                           const Bytes& data);

// Mounts `bytes` from a memory stream the file system owns.
int32_t mountBytes(ArchiveFileSystem& fs, const Bytes& bytes, int32_t resident = 1);
