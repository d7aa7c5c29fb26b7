#pragma once
// Bakes a TrueType/OpenType font into the player's bitmap font: a definition
// file NAME.def and 256 x 256 RGB glyph pages NAME_0.raw, NAME_1.raw, ...
//
// Every cell spans the whole line, from the tallest ascender to the deepest
// descender of the baked glyphs, because the player aligns all cells at their
// top row. Pages are white glyphs on black with the coverage in red (the
// player takes alpha from red). The player widens the cells of code units
// below U+00FF by 1 pixel left, 3 right and 2 down, which adds 2 pixels to
// their advance, and adds 16 pixels to the pen for every space; the baked
// `spacing` gives those back, so text runs with the font's own advances.
#include <cstdint>
#include <string>
#include <vector>

#include "font/unicode_font.h"

struct BakedGlyph {
    uint16_t code;       // UTF-16 code unit
    GlyphRecord record;  // as stored in the definition file
    int advance;         // the font's own advance, pixels
};

struct BakedFont {
    int pixel_size = 0;
    int line_height = 0;  // height of every cell before the player's widening
    std::vector<BakedGlyph> glyphs;
    std::vector<std::vector<uint8_t>> pages;  // 256 x 256 x 3 bytes each
};

// Glyph pages are this size; the player always reads them whole.
constexpr int kBakedPageSize = 256;
// Most pages a font may have: the player holds one texture per page.
constexpr int kBakedMaxPages = 13;
constexpr int kDefaultPixelSize = 20;

// The code units baked: U+0020..U+007E, U+00A0..U+00FF, and the typographic
// punctuation of the Windows Latin-1 code page that the font has.
std::vector<uint16_t> baked_code_units();

// Renders and packs the glyphs. False with a message in `error` when the font
// can't be read, misses a glyph of U+0020..U+00FE (a missing no-break space or
// soft hyphen is drawn as a space or hyphen), or needs too many pages.
bool bake_font(const std::string& font_file, int pixel_size, BakedFont* font, std::string* error);

// The definition file's bytes.
std::vector<uint8_t> encode_font_definition(const BakedFont& font);

// Writes NAME.def and the pages into `directory` (made when missing).
bool write_baked_font(const BakedFont& font, const std::string& directory, const std::string& name,
                      std::string* error);
