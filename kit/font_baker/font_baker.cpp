#include "kit/font_baker/font_baker.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

#include "kit/font_baker/glyph_packer.h"

namespace {

// What the player adds to a glyph's advance (see font_baker.h).
constexpr int kLatinWidening = 2;
constexpr uint16_t kLatinLimit = 0xFF;
constexpr int kSpaceExtra = 16;
// Windows Latin-1 punctuation and letters beyond U+00FF, baked when present.
constexpr uint16_t kExtraCodes[] = {0x0152, 0x0153, 0x0160, 0x0161, 0x0178, 0x017D, 0x017E, 0x0192,
                                    0x02C6, 0x02DC, 0x2013, 0x2014, 0x2018, 0x2019, 0x201A, 0x201C,
                                    0x201D, 0x201E, 0x2020, 0x2021, 0x2022, 0x2026, 0x2030, 0x2039,
                                    0x203A, 0x20AC, 0x2122};

bool required(uint16_t code) { return code <= 0xFE; }

// Stand-ins for code units that some fonts leave out.
uint16_t stand_in(uint16_t code) {
    switch (code) {
        case 0x00A0: return 0x0020;  // no-break space
        case 0x00AD: return 0x002D;  // soft hyphen
        default: return 0;
    }
}

struct RenderedGlyph {
    uint16_t code;
    int left;     // bitmap origin relative to the pen, pixels
    int top;      // rows above the baseline
    int advance;  // pixels
    int width;
    int rows;
    std::vector<uint8_t> coverage;  // width x rows
};

class FreeTypeFace {
public:
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

std::string hex_code(uint16_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", code);
    return text;
}

// Renders the glyph of `source` for the code unit `code`.
bool render_glyph(FT_Face face, uint16_t code, uint16_t source, RenderedGlyph* glyph, std::string* error) {
    if (FT_Load_Char(face, source, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) {
        *error = "cannot render " + hex_code(code);
        return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.width && bitmap.rows) {
        *error = "unexpected bitmap format for " + hex_code(code);
        return false;
    }
    glyph->code = code;
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->advance = int((slot->advance.x + 32) >> 6);
    glyph->width = int(bitmap.width);
    glyph->rows = int(bitmap.rows);
    glyph->coverage.assign(size_t(glyph->width) * glyph->rows, 0);
    for (int row = 0; row < glyph->rows; ++row) {
        const uint8_t* source = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        std::copy(source, source + glyph->width, glyph->coverage.begin() + ptrdiff_t(row) * glyph->width);
    }
    return true;
}

}  // namespace

std::vector<uint16_t> baked_code_units() {
    std::vector<uint16_t> codes;
    for (uint16_t code = 0x20; code <= 0x7E; ++code) codes.push_back(code);
    for (uint16_t code = 0xA0; code <= 0xFF; ++code) codes.push_back(code);
    codes.insert(codes.end(), std::begin(kExtraCodes), std::end(kExtraCodes));
    return codes;
}

bool bake_font(const std::string& font_file, int pixel_size, BakedFont* font, std::string* error) {
    if (pixel_size < 4 || pixel_size > 200) {
        *error = "pixel size must be between 4 and 200";
        return false;
    }
    FreeTypeFace face;
    if (FT_Init_FreeType(&face.library)) {
        *error = "cannot start FreeType";
        return false;
    }
    if (FT_New_Face(face.library, font_file.c_str(), 0, &face.face)) {
        *error = "cannot read font " + font_file;
        return false;
    }
    if (FT_Select_Charmap(face.face, FT_ENCODING_UNICODE) || FT_Set_Pixel_Sizes(face.face, 0, FT_UInt(pixel_size))) {
        *error = "font has no Unicode map or no size " + std::to_string(pixel_size) + ": " + font_file;
        return false;
    }

    std::vector<RenderedGlyph> rendered;
    int ascent = 0, descent = 0;
    for (uint16_t code : baked_code_units()) {
        uint16_t source = code;
        if (!FT_Get_Char_Index(face.face, source)) source = stand_in(code);
        if (!source || !FT_Get_Char_Index(face.face, source)) {
            if (!required(code)) continue;
            *error = "font has no glyph for " + hex_code(code) + ": " + font_file;
            return false;
        }
        RenderedGlyph glyph;
        if (!render_glyph(face.face, code, source, &glyph, error)) return false;
        if (glyph.width && glyph.rows) {
            ascent = std::max(ascent, glyph.top);
            descent = std::max(descent, glyph.rows - glyph.top);
        }
        rendered.push_back(std::move(glyph));
    }

    BakedFont baked;
    baked.pixel_size = pixel_size;
    baked.line_height = std::max(1, ascent + descent);
    GlyphPacker packer(kBakedPageSize, baked.line_height);
    for (const RenderedGlyph& glyph : rendered) {
        BakedGlyph out{};
        out.code = glyph.code;
        out.advance = glyph.advance;
        GlyphRecord& record = out.record;
        if (!packer.place(glyph.width, &record.x, &record.y, &record.page)) {
            *error = "glyph " + hex_code(glyph.code) + " does not fit a page at this pixel size";
            return false;
        }
        if (packer.page_count() > kBakedMaxPages) {
            *error = "font needs more than " + std::to_string(kBakedMaxPages) + " pages at this pixel size";
            return false;
        }
        while (int(baked.pages.size()) < packer.page_count())
            baked.pages.emplace_back(size_t(kBakedPageSize) * kBakedPageSize * 3, 0);
        record.width = glyph.width;
        record.height = baked.line_height;
        record.x_offset = glyph.left;
        record.spacing = glyph.advance - glyph.left - glyph.width;
        if (glyph.code < kLatinLimit) record.spacing -= kLatinWidening;
        if (glyph.code == 0x20) record.spacing -= kSpaceExtra;

        // White glyph, coverage in red (and green and blue), baseline at `ascent`.
        std::vector<uint8_t>& page = baked.pages[size_t(record.page)];
        const int first_row = record.y + ascent - glyph.top;
        for (int row = 0; row < glyph.rows; ++row) {
            const int page_row = first_row + row;
            if (page_row < record.y || page_row >= record.y + baked.line_height) continue;
            for (int column = 0; column < glyph.width; ++column) {
                const uint8_t value = glyph.coverage[size_t(row) * glyph.width + column];
                uint8_t* pixel = &page[(size_t(page_row) * kBakedPageSize + record.x + column) * 3];
                pixel[0] = pixel[1] = pixel[2] = value;
            }
        }
        baked.glyphs.push_back(out);
    }
    *font = std::move(baked);
    return true;
}
