#include "show_directory.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

void put32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
}

void put16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

// Header, page width and height tables, code table, one glyph record.
std::vector<uint8_t> font_definition() {
    std::vector<uint8_t> bytes;
    put32(bytes, 0);
    put16(bytes, 1);   // pages
    put16(bytes, 1);   // glyphs
    put32(bytes, 24);  // width table
    put32(bytes, 28);  // height table
    put32(bytes, 32);  // code table
    put32(bytes, 36);  // glyph table
    put32(bytes, 256);
    put32(bytes, 256);
    put16(bytes, 'A');
    put16(bytes, 0);
    const int32_t glyph[7] = {0, 0, 8, 12, 0, 1, 0};
    for (int32_t value : glyph) put32(bytes, uint32_t(value));
    return bytes;
}

void write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

ShowDirectory::ShowDirectory() {
    previous_ = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "velandora-shell-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : pattern;
    write_file(std::filesystem::path(path_) / "data/fonts/batang.def", font_definition());
    write_file(std::filesystem::path(path_) / "data/fonts/batang_0.raw", std::vector<uint8_t>(256 * 256 * 3, 0x80));
    std::filesystem::current_path(path_);
}

ShowDirectory::~ShowDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}
