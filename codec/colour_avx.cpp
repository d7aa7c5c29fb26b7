// The colour conversion of planes in bands with AVX: each four pixels are
// packed into twelve bytes with one byte shuffle, and eight pixels are
// stored as exactly 24 bytes. Compiled for AVX and only called when the
// processor has it.
#include <immintrin.h>

#include "codec/colour.h"
#include "codec/colour_body.h"

namespace {

inline __attribute__((always_inline)) void storePixels(EightPixels pixels, uint8_t* out, bool) {
    // Drops the fourth byte of each pixel.
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m128i low = _mm_shuffle_epi8(pixels.low, pack);    // twelve bytes, then zeros
    const __m128i high = _mm_shuffle_epi8(pixels.high, pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(low, _mm_slli_si128(high, 12)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_srli_si128(high, 4));
}

}  // namespace

void convertBandsToBgrAvx(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                          int32_t height, uint8_t* bgr) {
    convertBandsBody(luma, orange, green, width, height, bgr);
}
