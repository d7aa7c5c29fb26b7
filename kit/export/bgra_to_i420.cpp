#include "kit/export/bgra_to_i420.h"

#include <cstddef>

namespace {

// BT.709 weights scaled to the limited range, in 1/65536 units:
// Y = 16 + 219/255 (0.2126 R + 0.7152 G + 0.0722 B),
// Cb = 128 + 224/255 (B - Y') / 1.8556, Cr = 128 + 224/255 (R - Y') / 1.5748.
const int kYR = 11966, kYG = 40254, kYB = 4064;
// Rounded so that each row sums to 0 (greys have no colour) and to 219/255.
const int kUR = -6596, kUG = -22189, kUB = 28785;
const int kVR = 28784, kVG = -26145, kVB = -2639;
const int kHalf = 1 << 15;

void luma_row(const uint8_t* row, int width, uint8_t* y) {
    for (int x = 0; x < width; ++x) {
        const int b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2];
        y[x] = uint8_t((kYR * r + kYG * g + kYB * b + (16 << 16) + kHalf) >> 16);
    }
}

// The chroma of two rows: sums of four pixels, so the weights take a
// quarter and the rounding four times the range.
void chroma_rows(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* u, uint8_t* v) {
    for (int x = 0; x < width / 2; ++x) {
        const uint8_t* a = top + 8 * x;
        const uint8_t* c = bottom + 8 * x;
        const int b = a[0] + a[4] + c[0] + c[4];
        const int g = a[1] + a[5] + c[1] + c[5];
        const int r = a[2] + a[6] + c[2] + c[6];
        u[x] = uint8_t((kUR * r + kUG * g + kUB * b + (128 << 18) + (kHalf << 2)) >> 18);
        v[x] = uint8_t((kVR * r + kVG * g + kVB * b + (128 << 18) + (kHalf << 2)) >> 18);
    }
}

}  // namespace

void bgra_to_i420(const uint8_t* source, int source_stride, int width, int height, const I420Planes& out) {
    for (int row = 0; row < height; row += 2) {
        const uint8_t* top = source + std::ptrdiff_t(row) * source_stride;
        const uint8_t* bottom = top + source_stride;
        luma_row(top, width, out.y + std::ptrdiff_t(row) * out.y_stride);
        luma_row(bottom, width, out.y + std::ptrdiff_t(row + 1) * out.y_stride);
        chroma_rows(top, bottom, width, out.u + std::ptrdiff_t(row / 2) * out.u_stride,
                    out.v + std::ptrdiff_t(row / 2) * out.v_stride);
    }
}
