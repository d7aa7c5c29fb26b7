#include "show_directory.h"

#include <cstdint>
#include <vector>

namespace {

// Header, page size tables, code table, one glyph record.
std::vector<uint8_t> font_definition() {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
    };
    put(0, 4);
    put(1, 2);  // pages
    put(1, 2);  // glyphs
    for (uint32_t offset : {24, 28, 32, 36, 256, 256}) put(offset, 4);  // tables, then page width and height
    put('A', 2);
    put(0, 2);
    for (uint32_t value : {0, 0, 8, 12, 0, 1, 0}) put(value, 4);
    return bytes;
}

}  // namespace

ShowDirectory::ShowDirectory() {
    write("data/fonts/batang.def", font_definition());
    write("data/fonts/batang_0.raw", std::vector<uint8_t>(256 * 256 * 3, 0x80));
}
