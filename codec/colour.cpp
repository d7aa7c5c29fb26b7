#include "codec/colour.h"

#include <emmintrin.h>

#include <cstring>

#include "codec/plane_layout.h"
#include "codec/transpose.h"

namespace {

inline uint8_t toByte(int32_t value) {
    if (value < -128) value = -128;
    if (value > 127) value = 127;
    return uint8_t(value + 128);
}

}  // namespace

void convertPixelToBgr(int16_t luma, int16_t orange, int16_t green, uint8_t* bgr) {
    int32_t y = luma >> 2, co = orange >> 2, cg = green >> 2;
    int32_t t = y - (cg >> 1);
    int32_t g = cg + t;
    int32_t b = t - (co >> 1);
    int32_t r = b + co;
    bgr[0] = toByte(b);
    bgr[1] = toByte(g);
    bgr[2] = toByte(r);
}

namespace {

inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Eight pixels, one per 16-bit lane, as four bytes each (blue, green, red,
// zero): pixels 0 .. 3 in low, 4 .. 7 in high.
struct EightPixels {
    __m128i low, high;
};

inline EightPixels convertEight(__m128i luma, __m128i orange, __m128i green) {
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

// Writes the eight pixels as 24 bytes and a 25th, the fourth byte of the last
// pixel, which whatever follows must overwrite.
inline void storeEightAndOneMore(EightPixels pixels, uint8_t* out) {
    const uint32_t p0 = uint32_t(_mm_cvtsi128_si32(pixels.low));
    const uint32_t p1 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 4)));
    const uint32_t p2 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 8)));
    const uint32_t p3 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 12)));
    const uint32_t p4 = uint32_t(_mm_cvtsi128_si32(pixels.high));
    const uint32_t p5 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 4)));
    const uint32_t p6 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 8)));
    const uint32_t p7 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 12)));
    std::memcpy(out, &p0, 4);
    std::memcpy(out + 3, &p1, 4);
    std::memcpy(out + 6, &p2, 4);
    std::memcpy(out + 9, &p3, 4);
    std::memcpy(out + 12, &p4, 4);
    std::memcpy(out + 15, &p5, 4);
    std::memcpy(out + 18, &p6, 4);
    std::memcpy(out + 21, &p7, 4);
}

// Writes exactly the 24 bytes of the eight pixels: two pixels per 64-bit
// word, each with its zero fourth byte, repacked into three words.
inline void storeEight(EightPixels pixels, uint8_t* out) {
    const uint64_t p01 = uint64_t(_mm_cvtsi128_si64(pixels.low));
    const uint64_t p23 = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pixels.low, pixels.low)));
    const uint64_t p45 = uint64_t(_mm_cvtsi128_si64(pixels.high));
    const uint64_t p67 = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pixels.high, pixels.high)));
    const uint64_t first = (p01 & 0xFFFFFF) | ((p01 >> 8) & 0xFFFFFF000000) | (p23 << 48);
    const uint64_t second =
        ((p23 >> 16) & 0xFF) | ((p23 >> 24) & 0xFFFFFF00) | ((p45 & 0xFFFFFF) << 32) | (p45 >> 32 << 56);
    const uint64_t third = (p45 >> 40) | ((p67 & 0xFFFFFF) << 16) | (p67 >> 32 << 40);
    std::memcpy(out, &first, 8);
    std::memcpy(out + 8, &second, 8);
    std::memcpy(out + 16, &third, 8);
}

}  // namespace

void convertToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t count,
                  uint8_t* bgr) {
    int32_t i = 0;
    for (; i + 8 < count; i += 8)
        storeEightAndOneMore(convertEight(load(luma + i), load(orange + i), load(green + i)), bgr + size_t(i) * 3);
    if (i + 8 == count) {
        storeEight(convertEight(load(luma + i), load(orange + i), load(green + i)), bgr + size_t(i) * 3);
        i += 8;
    }
    for (; i < count; ++i) convertPixelToBgr(luma[i], orange[i], green[i], bgr + size_t(i) * 3);
}

void convertBandsToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                       int32_t height, uint8_t* bgr) {
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
            // The byte written past a row's pixels lands on the next block's
            // first pixel, written later; the last block of a row has nothing
            // to its right.
            const bool last = column + 8 == width;
            for (int32_t i = 0; i < 8; ++i) {
                uint8_t* out = bgr + (size_t(row + i) * size_t(width) + size_t(column)) * 3;
                const EightPixels pixels = convertEight(load(rows[0] + 8 * i), load(rows[1] + 8 * i), load(rows[2] + 8 * i));
                if (last)
                    storeEight(pixels, out);
                else
                    storeEightAndOneMore(pixels, out);
            }
        }
    }
}
