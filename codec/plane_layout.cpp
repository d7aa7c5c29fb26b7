#include "codec/plane_layout.h"

#include <emmintrin.h>

#include "codec/transpose.h"

namespace {

inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

}  // namespace

void stripsFromRows(const int16_t* rows, int16_t* strips, int32_t width, int32_t height) {
    for (int32_t column = 0; column < width; column += 8) {
        int16_t* strip = strips + stripIndex(0, column, height);
        for (int32_t row = 0; row < height; ++row)
            store(strip + size_t(row) * 8, load(rows + size_t(row) * width + column));
    }
}

void bandsFromStrips(const int16_t* strips, int16_t* bands, int32_t width, int32_t height) {
    for (int32_t row = 0; row < height; row += 8) {
        for (int32_t column = 0; column < width; column += 8) {
            const int16_t* source = strips + stripIndex(row, column, height);
            int16_t* target = bands + bandIndex(row, column, width);
            __m128i block[8];
            for (int32_t i = 0; i < 8; ++i) block[i] = load(source + 8 * i);
            transpose8x8(block);
            for (int32_t i = 0; i < 8; ++i) store(target + 8 * i, block[i]);
        }
    }
}

void rowsFromBands(const int16_t* bands, int16_t* rows, int32_t width, int32_t height) {
    for (int32_t row = 0; row < height; row += 8) {
        for (int32_t column = 0; column < width; column += 8) {
            const int16_t* source = bands + bandIndex(row, column, width);
            __m128i block[8];
            for (int32_t i = 0; i < 8; ++i) block[i] = load(source + 8 * i);
            transpose8x8(block);
            for (int32_t i = 0; i < 8; ++i) store(rows + size_t(row + i) * width + column, block[i]);
        }
    }
}
