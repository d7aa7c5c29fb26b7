// One line of UTF-16 text as textured quads in window pixel coordinates.
#include <cmath>

#include "font/gl.h"
#include "font/unicode_font.h"

namespace {

constexpr char16_t kEscape = 0x0001;       // it and the 8 units after it draw nothing
constexpr char16_t kInvisible = 0x0002;    // draws nothing, takes no room
constexpr char16_t kSpaceAlias = 0x0003;   // drawn as a space
constexpr char16_t kSpace = 0x0020;
constexpr int kEscapeLength = 8;
constexpr float kSpaceWidth = 16.0f;

// Left edge of each placed glyph, unscaled pixels from the start of the line;
// shared by all calls, so texts are cut to its size.
int32_t glyph_x[kMaxTextUnits];

int32_t truncate_to_int(float value) {
    // Far outside any window; keeps the conversion defined for absurd metrics.
    if (!(value > -2147483520.0f)) return -2147483647 - 1;
    if (value >= 2147483520.0f) return 2147483647;
    return int32_t(value);
}

int32_t text_units(const char16_t* text) {
    int32_t count = 0;
    if (text)
        while (count < kMaxTextUnits && text[count]) ++count;
    return count;
}

}  // namespace

float UnicodeFont::draw_text(const char16_t* text, float x, float y, float size, uint32_t colour,
                             int32_t alignment) {
    const FontDefinition& font = *definition;
    const float l = size * font.scale;
    const int32_t n = text_units(text);
    if (n == 0) return 0.0f;

    // Measuring pass: places the glyphs on the pen line.
    float pen = 0.0f;
    float tallest = 0.0f;
    int skip = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (skip > 0) {
            --skip;
            continue;
        }
        char16_t ch = text[i];
        if (ch == kEscape) {
            skip = kEscapeLength;
            continue;
        }
        if (ch == kInvisible) continue;
        if (ch == kSpaceAlias) ch = kSpace;
        if (ch == kSpace) pen += kSpaceWidth;
        const uint16_t g = font.glyph_map[ch];
        if (g == kNoGlyph) continue;
        const GlyphRecord& glyph = font.glyphs[g];
        glyph_x[i] = truncate_to_int(pen + float(glyph.x_offset));
        pen += float(int64_t(glyph.x_offset) + glyph.width + glyph.spacing);
        if (!(float(glyph.height) < tallest)) tallest = float(glyph.height);
    }

    float left_edge;
    switch (alignment) {
        case 0: left_edge = x - 0.5f; break;
        case 1: left_edge = x - pen * l / 2.0f - 0.5f; break;
        case 2: left_edge = x - pen * l - 0.5f; break;
        default: left_edge = 0.0f; break;
    }
    const float top_edge = y + (tallest * font.scale - (tallest - font.top) * l - 1.0f) / 2.0f;

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glEnable(GL_ALPHA_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    int32_t bound_page = 0;
    glBindTexture(GL_TEXTURE_2D, page_texture(bound_page));

    glColor4f(float((colour >> 16) & 0xFF) / 255.0f, float((colour >> 8) & 0xFF) / 255.0f,
              float(colour & 0xFF) / 255.0f, 1.0f);

    // Pixel to device coordinates against the current client size.
    const float client_width = view.client_width ? *view.client_width : 1.0f;
    const float client_height = view.client_height ? *view.client_height : 1.0f;
    auto vertex = [&](float px, float py) {
        glVertex2f(2.0f * px / client_width - 1.0f, 1.0f - 2.0f * py / client_height);
    };

    // Drawing pass: one quad per placed glyph.
    skip = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (skip > 0) {
            --skip;
            continue;
        }
        char16_t ch = text[i];
        if (ch == kEscape) {
            skip = kEscapeLength;
            continue;
        }
        if (ch == kInvisible) continue;
        if (ch == kSpaceAlias) ch = kSpace;
        const uint16_t g = font.glyph_map[ch];
        if (g == kNoGlyph) continue;
        const GlyphRecord& glyph = font.glyphs[g];
        // Each glyph comes from its own page's texture.
        if (glyph.page != bound_page) {
            bound_page = glyph.page;
            glBindTexture(GL_TEXTURE_2D, page_texture(bound_page));
        }
        const float left = left_edge + float(glyph_x[i]) * l;
        const float right = left + float(glyph.width) * l;
        const float top = top_edge;
        const float bottom = top_edge + float(glyph.height) * l;
        const float su = font.inv_page_width[glyph.page];
        const float sv = font.inv_page_height[glyph.page];
        const float u0 = float(glyph.x) * su;
        const float u1 = float(int64_t(glyph.x) + glyph.width) * su;
        const float v0 = float(glyph.y) * sv;
        const float v1 = float(int64_t(glyph.y) + glyph.height) * sv;
        glBegin(GL_QUADS);
        glTexCoord2f(u0, v0);
        vertex(left, top);
        glTexCoord2f(u1, v0);
        vertex(right, top);
        glTexCoord2f(u1, v1);
        vertex(right, bottom);
        glTexCoord2f(u0, v1);
        vertex(left, bottom);
        glEnd();
    }
    return pen * l;
}
