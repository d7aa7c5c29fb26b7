#include "kit/font_baker/glyph_packer.h"

GlyphPacker::GlyphPacker(int page_size, int line_height) : page_size_(page_size), line_height_(line_height) {}

bool GlyphPacker::place(int width, int32_t* x, int32_t* y, int32_t* page) {
    // The widened cell ends 3 columns right of the cell and 2 rows below it;
    // one more blank texel keeps the filter off the neighbour.
    const int right_reach = 3 + 1;
    const int bottom_reach = 2 + 1;
    if (kLeftMargin + width + right_reach > page_size_) return false;
    if (kTopMargin + line_height_ + bottom_reach > page_size_) return false;
    if (x_ + width + right_reach > page_size_) {
        x_ = kLeftMargin;
        y_ += line_height_ + kGapY;
    }
    if (y_ + line_height_ + bottom_reach > page_size_) {
        ++page_;
        x_ = kLeftMargin;
        y_ = kTopMargin;
    }
    *x = x_;
    *y = y_;
    *page = page_;
    x_ += width + kGapX;
    return true;
}
