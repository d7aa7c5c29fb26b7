#include "font/unicode_font.h"

#include <cstdio>

#include "font/texture.h"
#include "lib/fatal_error.h"
#include "lib/file_system.h"
#include "lib/heap.h"
#include "lib/stream.h"

namespace {

// Page file names, terminator included, must fit this buffer.
constexpr size_t kPageNameSize = 128;
// The source line named by the report of a missing definition file.
constexpr int kMissingDefinitionLine = 44;

}  // namespace

UnicodeFont::UnicodeFont(const char* name, const FontView& font_view) : view(font_view) {
    definition = static_cast<FontDefinition*>(heapAlloc(sizeof(FontDefinition)));
    clear_font_definition(definition);
    const String base = String("data/fonts/") + String(name);
    if (!load_definition(base + String(".def"))) fatalError(kAssertionFormat, "unicode_font", kMissingDefinitionLine, "s");
    load_pages(base);
}

UnicodeFont::~UnicodeFont() {
    free_font_definition(definition);
    heapFree(definition);
}

bool UnicodeFont::load_definition(const String& path) {
    Stream* stream = openFile(path.data);
    if (!stream) return false;
    int32_t size = stream->size();
    if (size < 0) size = 0;
    uint8_t* bytes = static_cast<uint8_t*>(heapAlloc(size_t(size) + 1));
    int32_t got = bytes ? stream->read(bytes, size) : 0;
    delete stream;
    if (got < 0) got = 0;
    parse_font_definition(bytes, size_t(got), definition);
    heapFree(bytes);
    return true;
}

void UnicodeFont::load_pages(const String& base_path) {
    // Pages without a texture slot of their own are not loaded; their glyphs
    // count as missing (see parse_font_definition).
    const int32_t pages = definition->page_count < kFontMaxPages ? definition->page_count : kFontMaxPages;
    for (int32_t page = 0; page < pages; ++page) {
        char name[kPageNameSize];
        const int written = std::snprintf(name, sizeof name, "%s_%d.raw", base_path.data, page);
        if (written < 0 || size_t(written) >= sizeof name) continue;  // a name that doesn't fit is not cut
        load_raw_texture(page_texture(page), name, kFontPageSize, kFontPageSize, kAlphaFromRed);
    }
}

uint32_t UnicodeFont::page_texture(int32_t page) const {
    if (!view.texture_ids || page < 0 || page >= kFontMaxPages) return 0;
    return view.texture_ids[kFontTextureSlot + page];
}
