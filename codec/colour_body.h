// The colour conversion of eight pixels and the walk over planes in bands,
// compiled once for any processor (colour.cpp) and once for AVX
// (colour_avx.cpp), each with its own way of storing pixels. The including
// file defines storePixels(pixels, out, lastInRow) in an unnamed namespace
// after EightPixels; everything here stays local to it, so the two
// compilations never mix.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "codec/plane_layout.h"
#include "codec/transpose.h"

namespace {

inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Eight pixels, one per 16-bit lane, as four bytes each (blue, green, red,
// zero): pixels 0 .. 3 in low, 4 .. 7 in high.
struct EightPixels {
    __m128i low, high;
};

inline __attribute__((always_inline)) EightPixels convertEight(__m128i luma, __m128i orange, __m128i green) {
    const __m128i y = _mm_srai_epi16(luma, 2);
    const __m128i co = _mm_srai_epi16(orange, 2);
    const __m128i cg = _mm_srai_epi16(green, 2);
    const __m128i t = _mm_sub_epi16(y, _mm_srai_epi16(cg, 1));
    const __m128i g = _mm_add_epi16(cg, t);
    const __m128i b = _mm_sub_epi16(t, _mm_srai_epi16(co, 1));
    const __m128i r = _mm_add_epi16(b, co);
    // The saturating pack is the clamp to -128 .. 127; adding 128 is a flip of the top bit.
    const __m128i bias = _mm_set1_epi8(char(0x80));
    const __m128i bg = _mm_xor_si128(_mm_packs_epi16(b, g), bias);
    const __m128i rr = _mm_xor_si128(_mm_packs_epi16(r, r), bias);
    const __m128i bgPairs = _mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 8));
    const __m128i rPairs = _mm_unpacklo_epi8(rr, _mm_setzero_si128());
    return EightPixels{_mm_unpacklo_epi16(bgPairs, rPairs), _mm_unpackhi_epi16(bgPairs, rPairs)};
}

// Stores eight pixels at out; lastInRow tells that nothing of the row follows.
inline __attribute__((always_inline)) void storePixels(EightPixels pixels, uint8_t* out, bool lastInRow);

inline __attribute__((always_inline)) void convertBandsBody(const int16_t* luma, const int16_t* orange,
                                                            const int16_t* green, int32_t width, int32_t height,
                                                            uint8_t* bgr) {
    for (int32_t row = 0; row < height; row += 8) {
        for (int32_t column = 0; column < width; column += 8) {
            // Each plane's block holds eight columns of eight rows: turned
            // into eight rows of eight pixels.
            const size_t at = bandIndex(row, column, width);
            alignas(16) int16_t rows[3][64];
            const int16_t* planes[3] = {luma + at, orange + at, green + at};
            for (int32_t p = 0; p < 3; ++p) {
                __m128i block[8];
                for (int32_t i = 0; i < 8; ++i) block[i] = load(planes[p] + 8 * i);
                transpose8x8(block);
                for (int32_t i = 0; i < 8; ++i) _mm_store_si128(reinterpret_cast<__m128i*>(rows[p] + 8 * i), block[i]);
            }
            const bool last = column + 8 == width;
            for (int32_t i = 0; i < 8; ++i) {
                uint8_t* out = bgr + (size_t(row + i) * size_t(width) + size_t(column)) * 3;
                storePixels(convertEight(load(rows[0] + 8 * i), load(rows[1] + 8 * i), load(rows[2] + 8 * i)), out,
                            last);
            }
        }
    }
}

}  // namespace
