// Parsing of font definition files, kept apart from GL and file access so any
// byte sequence can be fed to it.
#include <climits>
#include <cstring>

#include "font/unicode_font.h"
#include "lib/heap.h"

namespace {

constexpr size_t kGlyphRecordSize = 28;
constexpr uint32_t kMapEntries = 65536;
// Code units below this get the widened Latin cell.
constexpr uint16_t kLatinLimit = 0xFF;

uint16_t load_u16(const uint8_t* at) { return uint16_t(at[0] | (at[1] << 8)); }
uint32_t load_u32(const uint8_t* at) {
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}

// Header fields beyond the end of the file read as 0.
uint32_t header_u32(const uint8_t* bytes, size_t size, size_t offset) {
    return offset + 4 <= size ? load_u32(bytes + offset) : 0;
}
uint16_t header_u16(const uint8_t* bytes, size_t size, size_t offset) {
    return offset + 2 <= size ? load_u16(bytes + offset) : 0;
}

// How many whole entries of `entry_size` bytes a table at `offset` has in the file.
uint32_t entries_present(size_t size, uint32_t offset, uint32_t count, size_t entry_size) {
    if (offset >= size) return 0;
    const size_t available = (size - offset) / entry_size;
    return available < count ? uint32_t(available) : count;
}

template <typename T>
T* allocate_array(uint32_t count) {
    // Never a zero-byte request, so an empty table is still a valid block.
    const size_t bytes = (count ? count : 1) * sizeof(T);
    T* array = static_cast<T*>(heapAlloc(bytes));
    if (array) std::memset(array, 0, bytes);
    return array;
}

bool widening_fits(const GlyphRecord& glyph) {
    return glyph.x > INT32_MIN && glyph.width <= INT32_MAX - 4 && glyph.height <= INT32_MAX - 2 &&
           glyph.x_offset > INT32_MIN && glyph.spacing > INT32_MIN;
}

void widen_latin_cell(GlyphRecord& glyph) {
    glyph.x -= 1;
    glyph.width += 4;
    glyph.height += 2;
    glyph.x_offset -= 1;
    glyph.spacing -= 1;
}

}  // namespace

void clear_font_definition(FontDefinition* definition) {
    std::memset(definition, 0, sizeof *definition);
    definition->scale = 1.0f;
    definition->top = 0.0f;
}

void free_font_definition(FontDefinition* definition) {
    heapFree(definition->page_width);
    heapFree(definition->page_height);
    heapFree(definition->inv_page_width);
    heapFree(definition->inv_page_height);
    heapFree(definition->glyph_code);
    heapFree(definition->glyphs);
    heapFree(definition->glyph_map);
    clear_font_definition(definition);
}

bool parse_font_definition(const uint8_t* bytes, size_t size, FontDefinition* definition) {
    free_font_definition(definition);
    if (!bytes) size = 0;

    const uint16_t pages = header_u16(bytes, size, 4);
    const uint16_t glyph_count = header_u16(bytes, size, 6);
    const uint32_t width_offset = header_u32(bytes, size, 8);
    const uint32_t height_offset = header_u32(bytes, size, 12);
    const uint32_t code_offset = header_u32(bytes, size, 16);
    const uint32_t glyph_offset = header_u32(bytes, size, 20);

    FontDefinition& font = *definition;
    font.page_count = pages;
    font.glyph_count = glyph_count;
    font.page_width = allocate_array<uint32_t>(pages);
    font.page_height = allocate_array<uint32_t>(pages);
    font.inv_page_width = allocate_array<float>(pages);
    font.inv_page_height = allocate_array<float>(pages);
    font.glyph_code = allocate_array<uint16_t>(glyph_count);
    font.glyphs = allocate_array<GlyphRecord>(glyph_count);
    font.glyph_map = allocate_array<uint16_t>(kMapEntries);
    if (!font.page_width || !font.page_height || !font.inv_page_width || !font.inv_page_height ||
        !font.glyph_code || !font.glyphs || !font.glyph_map) {
        free_font_definition(definition);
        return false;
    }

    // Each table is read as far as the file holds it; the rest stays zero.
    const uint32_t widths_read = entries_present(size, width_offset, pages, 4);
    const uint32_t heights_read = entries_present(size, height_offset, pages, 4);
    const uint32_t codes_read = entries_present(size, code_offset, glyph_count, 2);
    const uint32_t records_read = entries_present(size, glyph_offset, glyph_count, kGlyphRecordSize);
    for (uint32_t p = 0; p < widths_read; ++p) font.page_width[p] = load_u32(bytes + width_offset + 4 * p);
    for (uint32_t p = 0; p < heights_read; ++p) font.page_height[p] = load_u32(bytes + height_offset + 4 * p);
    for (uint32_t j = 0; j < codes_read; ++j) font.glyph_code[j] = load_u16(bytes + code_offset + 2 * j);
    for (uint32_t j = 0; j < records_read; ++j) {
        const uint8_t* record = bytes + glyph_offset + kGlyphRecordSize * j;
        GlyphRecord& glyph = font.glyphs[j];
        glyph.x = int32_t(load_u32(record + 0));
        glyph.y = int32_t(load_u32(record + 4));
        glyph.width = int32_t(load_u32(record + 8));
        glyph.height = int32_t(load_u32(record + 12));
        glyph.x_offset = int32_t(load_u32(record + 16));
        glyph.spacing = int32_t(load_u32(record + 20));
        glyph.page = int32_t(load_u32(record + 24));
    }

    // Page sizes become texture coordinate factors; a size of 0 gives infinity.
    for (uint32_t p = 0; p < pages; ++p) {
        font.inv_page_width[p] = 1.0f / float(font.page_width[p]);
        font.inv_page_height[p] = 1.0f / float(font.page_height[p]);
    }

    // A page can be drawn from when its sizes were read and it has a texture.
    uint32_t drawable_pages = widths_read < heights_read ? widths_read : heights_read;
    if (drawable_pages > uint32_t(kFontMaxPages)) drawable_pages = kFontMaxPages;

    for (uint32_t i = 0; i < kMapEntries; ++i) font.glyph_map[i] = kNoGlyph;
    bool found_top = false;
    int32_t top = 0;
    for (uint32_t j = 0; j < glyph_count; ++j) {
        GlyphRecord& glyph = font.glyphs[j];
        const uint16_t code = font.glyph_code[j];
        // Missing glyphs: not read whole, on a page that can't be drawn, or
        // with sizes that make no cell.
        const bool usable = j < codes_read && j < records_read && glyph.page >= 0 &&
                            uint32_t(glyph.page) < drawable_pages && glyph.width >= 0 && glyph.height >= 0 &&
                            (code >= kLatinLimit || widening_fits(glyph));
        if (!usable) continue;
        // The cells of the Latin glyphs grow 1 pixel left, 3 right and 2 down.
        if (code < kLatinLimit) widen_latin_cell(glyph);
        font.glyph_map[code] = uint16_t(j);  // a later glyph with the same code wins
        if (glyph.width != 0 && (!found_top || glyph.y < top)) {
            top = glyph.y;
            found_top = true;
        }
    }
    font.top = found_top ? float(top) : float(INT32_MAX);
    font.scale = 1.0f;
    return true;
}
