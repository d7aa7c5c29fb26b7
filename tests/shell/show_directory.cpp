#include "show_directory.h"

#include <cstdint>
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

}  // namespace

ShowDirectory::ShowDirectory() {
    write("data/fonts/batang.def", font_definition());
    write("data/fonts/batang_0.raw", std::vector<uint8_t>(256 * 256 * 3, 0x80));
}
