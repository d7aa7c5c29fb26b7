#include "codec/colour.h"

#include <emmintrin.h>

#include <cstring>

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

void convertToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t count,
                  uint8_t* bgr) {
    const __m128i bias = _mm_set1_epi8(char(0x80));
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    // Eight pixels per step; every pixel is written as four bytes whose fourth
    // the next pixel overwrites, so the last step stays scalar.
    for (; i + 8 < count; i += 8) {
        __m128i y = _mm_srai_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + i)), 2);
        __m128i co = _mm_srai_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(orange + i)), 2);
        __m128i cg = _mm_srai_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(green + i)), 2);
        __m128i t = _mm_sub_epi16(y, _mm_srai_epi16(cg, 1));
        __m128i g = _mm_add_epi16(cg, t);
        __m128i b = _mm_sub_epi16(t, _mm_srai_epi16(co, 1));
        __m128i r = _mm_add_epi16(b, co);
        // The saturating pack is the clamp to -128 .. 127; adding 128 is a flip of the top bit.
        __m128i bg = _mm_xor_si128(_mm_packs_epi16(b, g), bias);
        __m128i rr = _mm_xor_si128(_mm_packs_epi16(r, r), bias);
        __m128i bgPairs = _mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 8));
        __m128i rPairs = _mm_unpacklo_epi8(rr, zero);
        __m128i low = _mm_unpacklo_epi16(bgPairs, rPairs);
        __m128i high = _mm_unpackhi_epi16(bgPairs, rPairs);
        uint8_t* out = bgr + size_t(i) * 3;
        for (int32_t p = 0; p < 4; ++p) {
            uint32_t pixel = uint32_t(_mm_cvtsi128_si32(low));
            std::memcpy(out + 3 * p, &pixel, 4);
            low = _mm_srli_si128(low, 4);
        }
        for (int32_t p = 4; p < 8; ++p) {
            uint32_t pixel = uint32_t(_mm_cvtsi128_si32(high));
            std::memcpy(out + 3 * p, &pixel, 4);
            high = _mm_srli_si128(high, 4);
        }
    }
    for (; i < count; ++i) convertPixelToBgr(luma[i], orange[i], green[i], bgr + size_t(i) * 3);
}
