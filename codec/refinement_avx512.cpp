// The refinement pass with AVX-512: a word's 64 coefficients are moved with
// two masked additions, whatever the number of ones, so no loop over them
// waits for a mispredicted branch. Compiled for AVX-512 (F, BW and VL) and
// the bit instructions, and only called when the processor has them;
// Windows builds leave it out, as they do the 512-bit synthesis.
#include "codec/significance_pass.h"

#if defined(__AVX512BW__) && defined(__BMI2__) && !defined(_WIN32)

#include "codec/refinement_body.h"

bool refinementAvx512Compiled() { return true; }

void refinementPassAvx512(BitReader& reader, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                          int32_t d) {
    const __m512i step = _mm512_set1_epi16(int16_t(d));
    refinementBody(reader, refinable, groupWords, [values, step](int32_t word, uint64_t ones) {
        for (int32_t half = 0; half < 2; ++half) {
            int16_t* at = values + word * 64 + half * 32;
            const __m512i x = _mm512_loadu_si512(at);
            const __m512i sign = _mm512_srai_epi16(x, 15);
            const __m512i away = _mm512_sub_epi16(_mm512_xor_si512(step, sign), sign);  // d with the sign of x
            _mm512_storeu_si512(at, _mm512_mask_add_epi16(x, __mmask32(ones >> (32 * half)), x, away));
        }
    });
}

#else

bool refinementAvx512Compiled() { return false; }

void refinementPassAvx512(BitReader&, int16_t*, const uint64_t*, int32_t, int32_t) {}

#endif
