#pragma once
// Places glyph cells on 256 x 256 pages, row by row, with margins wide enough
// that the player's widened Latin cells (1 pixel left, 3 right, 2 down) and
// linear filtering never reach another glyph.
#include <cstdint>

class GlyphPacker {
public:
    GlyphPacker(int page_size, int line_height);

    // Finds room for a cell `width` pixels wide; false when the cell can't fit
    // on any page (wider than a page, or a line taller than a page).
    bool place(int width, int32_t* x, int32_t* y, int32_t* page);
    int page_count() const { return page_ + 1; }

    // Blank columns between cells and rows between lines, and the page margins.
    static constexpr int kGapX = 5;
    static constexpr int kGapY = 3;
    static constexpr int kLeftMargin = 2;
    static constexpr int kTopMargin = 1;

private:
    int page_size_;
    int line_height_;
    int page_ = 0;
    int x_ = kLeftMargin;
    int y_ = kTopMargin;
};
