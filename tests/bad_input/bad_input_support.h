#pragma once
// Shared pieces of the bad-input matrix: a scratch working directory (the
// player opens every file through openFile, which looks on disk first), the
// usual damages, and a row type for table-driven tests.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<uint8_t>;

// Each test runs in a fresh, empty working directory.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string directory_;

private:
    std::string previous_;
};

// Writes `bytes` to `path` (relative to the working directory), making the
// directories on the way.
void writeFile(const std::string& path, const Bytes& bytes);

Bytes bytesOf(const std::string& text);
Bytes truncated(const Bytes& bytes, size_t size);
Bytes patchedU32(Bytes bytes, size_t offset, uint32_t value);
Bytes patchedU16(Bytes bytes, size_t offset, uint16_t value);
// Deterministic noise.
Bytes garbage(size_t size, uint32_t seed);

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
