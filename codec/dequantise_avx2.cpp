// The decoder's column lines dequantised with AVX2: two rows at a time, and
// the half step added with the sign of each value by one instruction.
// Compiled for AVX2 and only called when the processor has it; Windows
// builds leave it out, as they do the other wide paths.
#include "codec/dequantise.h"

#if defined(__AVX2__) && !defined(_WIN32)

#include <immintrin.h>

bool dequantiseAvx2Compiled() { return true; }

void dequantiseColumnLinesAvx2(const ColumnSources& sources, int32_t blockRows, int16_t* lines) {
    __m256i steps[4], halves[4];
    for (int32_t pair = 0; pair < 4; ++pair) {
        const int32_t v = 2 * pair;
        steps[pair] = _mm256_setr_m128i(_mm_set1_epi16(sources.step[v]), _mm_set1_epi16(sources.step[v + 1]));
        halves[pair] = _mm256_setr_m128i(_mm_set1_epi16(sources.half[v]), _mm_set1_epi16(sources.half[v + 1]));
    }
    for (int32_t by = 0; by < blockRows; ++by) {
        int16_t* out = lines + size_t(by) * 64;
        for (int32_t pair = 0; pair < 4; ++pair) {
            const int16_t* first = sources.rows[2 * pair] + size_t(by) * sources.rowStep[2 * pair];
            const int16_t* second = sources.rows[2 * pair + 1] + size_t(by) * sources.rowStep[2 * pair + 1];
            // Eight subbands are read row by row, far apart: fetched ahead.
            _mm_prefetch(reinterpret_cast<const char*>(first + 2 * sources.rowStep[2 * pair]), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(second + 2 * sources.rowStep[2 * pair + 1]), _MM_HINT_T0);
            const __m256i x = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(second),
                                                  reinterpret_cast<const __m128i*>(first));
            // The low 16 bits of x * step + step / 2 with the sign of x (0 for 0).
            const __m256i value =
                _mm256_add_epi16(_mm256_mullo_epi16(x, steps[pair]), _mm256_sign_epi16(halves[pair], x));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * pair), value);
        }
    }
}

#else

bool dequantiseAvx2Compiled() { return false; }

void dequantiseColumnLinesAvx2(const ColumnSources&, int32_t, int16_t*) {}

#endif
