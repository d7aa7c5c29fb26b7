#pragma once
// The program's own Unicode bitmap font: a definition file ("data/fonts/" +
// name + ".def") with one rectangle per glyph, and 256 x 256 RGB glyph pages
// ("data/fonts/" + name + "_%d.raw") whose red channel is the coverage.
#include <cstddef>
#include <cstdint>

#include "font/strings.h"

// What the font needs of the window it draws into. The shell keeps these
// values; the font only reads them, so a resize is seen by the next draw_text.
struct FontView {
    const float* client_width;    // client area width in pixels
    const float* client_height;   // client area height in pixels
    const uint32_t* texture_ids;  // the program's 16 texture names
};

// Texture slot of glyph page 0; page p lives in slot 3 + p, so the names that
// the program never binds otherwise (4 to 15) hold pages 1 to 12.
constexpr int kFontTextureSlot = 3;
constexpr int kFontMaxPages = 13;
// Glyph pages are always read and uploaded at this size.
constexpr int32_t kFontPageSize = 256;
// draw_text places at most this many code units; a longer text is cut.
constexpr int32_t kMaxTextUnits = 1024;
constexpr uint16_t kNoGlyph = 0xFFFF;

struct GlyphRecord {
    int32_t x;         // left column of the cell in its page
    int32_t y;         // top row of the cell; row 0 is the first row of the page file
    int32_t width;     // cell size in pixels
    int32_t height;
    int32_t x_offset;  // pen position to the left edge of the cell
    int32_t spacing;   // right edge of the cell to the next pen position
    int32_t page;      // page that holds the cell
};

// A loaded definition; owns its arrays.
struct FontDefinition {
    uint16_t page_count;
    uint16_t glyph_count;
    uint32_t* page_width;
    uint32_t* page_height;
    float* inv_page_width;
    float* inv_page_height;
    uint16_t* glyph_code;
    GlyphRecord* glyphs;
    uint16_t* glyph_map;  // 65,536 entries: code unit to glyph index, or kNoGlyph
    float scale;
    float top;
};

// Empties `definition` (all arrays null, counts 0, scale 1, top 0).
void clear_font_definition(FontDefinition* definition);
// Frees the arrays and empties the record.
void free_font_definition(FontDefinition* definition);

// Parses a definition file held in memory: no GL, no file access. Tables that
// lie partly beyond `size` are read as far as they go; glyph records that were
// not read whole, whose code unit was not read, whose page is not below the
// page count (or has no texture slot, or whose size was not read), whose
// sizes are negative, or whose Latin widening would overflow are left out of
// glyph_map, as missing glyphs, and don't count for `top`. Applies
// the widening of the Latin cells and finds `top`. Returns false only when
// an allocation fails.
bool parse_font_definition(const uint8_t* bytes, size_t size, FontDefinition* definition);

class UnicodeFont {
public:
    // Loads the family `name`: "data/fonts/" + name + ".def" and its pages.
    // Needs the GL context current and the texture names generated. A missing
    // definition file ends the program through the assertion report.
    UnicodeFont(const char* name, const FontView& view);
    virtual ~UnicodeFont();

    // Reads the definition file at `path`; false when it can't be opened.
    bool load_definition(const String& path);
    // Uploads pages 0 .. page_count - 1 of "base_path_%d.raw", each into its
    // own texture (page_texture). Pages past the last texture slot, and pages
    // whose file name doesn't fit 128 bytes with its terminator, are skipped.
    void load_pages(const String& base_path);

    // Draws one line of UTF-16 text at pixel position (x, y) and returns its
    // width in pixels. alignment 0: starts at x; 1: centred on x; 2: ends at x;
    // other: starts at pixel column 0. colour is 0xRRGGBB. Only the first
    // kMaxTextUnits code units of a longer text are drawn and measured.
    float draw_text(const char16_t* text, float x, float y, float size, uint32_t colour, int32_t alignment);

    // The texture name that holds glyph page `page`.
    uint32_t page_texture(int32_t page) const;

    FontDefinition* definition;  // owned
    FontView view;
};
