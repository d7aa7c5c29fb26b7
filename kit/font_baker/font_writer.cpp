// The definition file: a 24-byte header, then the page width and height
// tables, the code table and the glyph records, all little-endian.
#include <filesystem>
#include <fstream>

#include "kit/font_baker/font_baker.h"

namespace {

void put_u16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

bool write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> encode_font_definition(const BakedFont& font) {
    const uint32_t pages = uint32_t(font.pages.size());
    const uint32_t glyphs = uint32_t(font.glyphs.size());
    const uint32_t width_table = 24;
    const uint32_t height_table = width_table + 4 * pages;
    const uint32_t code_table = height_table + 4 * pages;
    // Glyph records start on a 4-byte boundary.
    const uint32_t glyph_table = (code_table + 2 * glyphs + 3) & ~3u;

    std::vector<uint8_t> out;
    put_u32(out, uint32_t(font.pixel_size));  // the loader ignores this word; it records the size baked
    put_u16(out, pages);
    put_u16(out, glyphs);
    put_u32(out, width_table);
    put_u32(out, height_table);
    put_u32(out, code_table);
    put_u32(out, glyph_table);
    for (uint32_t p = 0; p < pages; ++p) put_u32(out, kBakedPageSize);
    for (uint32_t p = 0; p < pages; ++p) put_u32(out, kBakedPageSize);
    for (const BakedGlyph& glyph : font.glyphs) put_u16(out, glyph.code);
    while (out.size() < glyph_table) out.push_back(0);
    for (const BakedGlyph& glyph : font.glyphs) {
        const GlyphRecord& r = glyph.record;
        for (int32_t field : {r.x, r.y, r.width, r.height, r.x_offset, r.spacing, r.page}) put_u32(out, uint32_t(field));
    }
    return out;
}

bool write_baked_font(const BakedFont& font, const std::string& directory, const std::string& name,
                      std::string* error) {
    std::error_code failure;
    std::filesystem::create_directories(directory, failure);
    if (failure) {
        *error = "cannot create " + directory + ": " + failure.message();
        return false;
    }
    const std::filesystem::path base(directory);
    if (!write_file(base / (name + ".def"), encode_font_definition(font), error)) return false;
    for (size_t page = 0; page < font.pages.size(); ++page)
        if (!write_file(base / (name + "_" + std::to_string(page) + ".raw"), font.pages[page], error)) return false;
    return true;
}
