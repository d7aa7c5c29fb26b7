// Font definitions from arbitrary bytes, parsed without GL. Every code unit
// is then looked up the way draw_text does, and each glyph it finds must lie
// on a loaded page with sizes that were read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "font/unicode_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    FontDefinition definition;
    clear_font_definition(&definition);
    if (!parse_font_definition(bytes.data(), bytes.size(), &definition)) std::abort();
    if (definition.glyph_count && !definition.glyph_map) std::abort();
    volatile float sum = definition.scale + definition.top;
    if (definition.glyph_map) {
        for (uint32_t unit = 0; unit < 65536; ++unit) {
            uint16_t index = definition.glyph_map[unit];
            if (index == kNoGlyph) continue;
            if (index >= definition.glyph_count) std::abort();
            const GlyphRecord& glyph = definition.glyphs[index];
            if (glyph.page < 0 || glyph.page >= definition.page_count) std::abort();
            if (glyph.width < 0 || glyph.height < 0) std::abort();
            sum = sum + float(int64_t(glyph.x) + glyph.y + glyph.x_offset + glyph.spacing) +
                  definition.inv_page_width[glyph.page] * float(definition.page_width[glyph.page]) +
                  definition.inv_page_height[glyph.page] * float(definition.page_height[glyph.page]);
        }
    }
    free_font_definition(&definition);
    return 0;
}
