#pragma once
// Shared pieces of the bad-input matrix: a scratch working directory (the
// player opens every file through openFile, which looks on disk first), the
// usual damages, and a row type for table-driven tests.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/scratch_directory.h"

using Bytes = std::vector<uint8_t>;

// Each test runs in a fresh, empty working directory.
class ScratchTest : public ::testing::Test {
protected:
    ScratchDirectory scratch_;
    // Writes `bytes` to `path` in the working directory, making the directories on the way.
    void writeFile(const std::string& path, const Bytes& bytes) const { scratch_.write(path, bytes); }
};

inline Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes truncated(const Bytes& bytes, size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}
inline void putU16(Bytes& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}
inline void putU32(Bytes& out, uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}
inline Bytes patchedU32(Bytes bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
    return bytes;
}
inline Bytes patchedU16(Bytes bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = uint8_t(value);
    bytes.at(offset + 1) = uint8_t(value >> 8);
    return bytes;
}
// Deterministic noise.
inline Bytes garbage(size_t size, uint32_t seed) {
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

// One row of a matrix: how to make the file and what the player must do.
template <typename Outcome>
struct Row {
    std::string name;
    std::function<Bytes()> make;
    Outcome expected;
};

template <typename Outcome>
std::string rowName(const ::testing::TestParamInfo<Row<Outcome>>& info) {
    return info.param.name;
}

// Gtest prints a row by its name.
template <typename Outcome>
void PrintTo(const Row<Outcome>& row, std::ostream* out) {
    *out << row.name;
}

// The fatal report's exit status as a parent sees it (666 mod 256).
constexpr int kFatalStatus = 666 & 0xFF;
