// The lane-parallel line synthesis with 256-bit registers: the same formulas
// and rounding points as synthesis_lanes.cpp, four double lanes per register.
// This file is compiled for AVX and is only called when the processor has
// it; everything in it stays local so that no AVX code is shared by accident.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "codec/synthesis_constants.h"

using namespace synthesis;

namespace {

inline __m128i loadRaw(const int16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline __m256d widen(__m128i v) { return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(v)); }

inline __m128 toFloat(__m256d a) { return _mm256_cvtpd_ps(a); }
inline __m256d toDouble(__m128 v) { return _mm256_cvtps_pd(v); }
inline __m256d rounded(__m256d a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }

inline __m256d add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
inline __m256d sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
inline __m256d mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }

// Nearest integer, ties to even, of which the low 16 bits are kept.
inline void store4(int16_t* p, __m128 v) {
    const __m128i lowHalves = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(_mm_cvtps_epi32(v), lowHalves));
}

inline void storeZero4(int16_t* p) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_setzero_si128()); }

}  // namespace

void synthesizeLanesAvx(int16_t* base, size_t stride, int32_t n, float* scratchLine) {
    const __m256d c4 = _mm256_set1_pd(C4);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d rsHalf = _mm256_set1_pd(double(RS) * 0.5);
    const __m256d rcHalf = _mm256_set1_pd(double(RC) * 0.5);
    __m128* a = reinterpret_cast<__m128*>(scratchLine) + 2;
    for (int32_t g = 0; g < n; g += 8) {
        const int16_t* p = base + size_t(g) * stride;
        const __m128i r0 = loadRaw(p), r1 = loadRaw(p + stride), r2 = loadRaw(p + 2 * stride);
        const __m128i r3 = loadRaw(p + 3 * stride), r4 = loadRaw(p + 4 * stride), r5 = loadRaw(p + 5 * stride);
        const __m128i r6 = loadRaw(p + 6 * stride), r7 = loadRaw(p + 7 * stride);
        // Groups of zeros are common (high frequencies, smooth chroma); they
        // give zeros, exactly as the formulas would.
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(r0, r1), _mm_or_si128(r2, r3)),
                                         _mm_or_si128(_mm_or_si128(r4, r5), _mm_or_si128(r6, r7)));
        if (_mm_testz_si128(any, _mm_set_epi64x(0, -1))) {
            for (int32_t i = 0; i < 8; ++i) a[g + i] = _mm_setzero_ps();
            continue;
        }
        const __m256d x0 = widen(r0), x1 = widen(r1);
        const __m128i high = _mm_or_si128(_mm_or_si128(_mm_or_si128(r2, r3), _mm_or_si128(r4, r5)),
                                          _mm_or_si128(r6, r7));
        if (_mm_testz_si128(high, _mm_set_epi64x(0, -1))) {
            // Only the two averages: E, F, G, H and the halves vanish, and the
            // formulas reduce to e and dd (each exactly as written).
            const __m128 e = toFloat(mul(add(x0, x1), c4));
            const __m128 d = toFloat(mul(sub(x0, x1), c4));
            const __m128 zero = _mm_setzero_ps();
            a[g] = e;
            a[g + 1] = zero;
            a[g + 2] = e;
            a[g + 3] = zero;
            a[g + 4] = d;
            a[g + 5] = zero;
            a[g + 6] = d;
            a[g + 7] = zero;
            continue;
        }
        const __m256d x2 = widen(r2), x3 = widen(r3);
        const __m256d x4 = widen(r4), x5 = widen(r5), x6 = widen(r6), x7 = widen(r7);
        const __m256d e = rounded(mul(add(x0, x1), c4));
        const __m256d dd = mul(sub(x0, x1), c4);
        const __m256d E = add(mul(x6, rsHalf), mul(x2, rcHalf));
        const __m256d F = sub(mul(x6, rcHalf), mul(x2, rsHalf));
        const __m256d G = rounded(add(mul(x7, rsHalf), mul(x3, rcHalf)));
        const __m256d H = sub(mul(x7, rcHalf), mul(x3, rsHalf));
        const __m256d x4h = mul(x4, half), x5h = mul(x5, half);
        a[g] = toFloat(add(E, e));
        a[g + 1] = toFloat(add(x4h, F));
        a[g + 2] = toFloat(sub(e, E));
        a[g + 3] = toFloat(sub(x4h, F));
        a[g + 4] = toFloat(add(G, dd));
        a[g + 5] = toFloat(add(H, x5h));
        a[g + 6] = toFloat(sub(dd, G));
        a[g + 7] = toFloat(sub(x5h, H));
    }
    a[-2] = a[0];
    a[-1] = a[1];
    a[n] = a[n - 2];
    a[n + 1] = a[n - 1];

    const __m256d s8 = _mm256_set1_pd(S8), c8 = _mm256_set1_pd(C8);
    const __m256d k65 = _mm256_set1_pd(K65), k27 = _mm256_set1_pd(K27);
    for (int32_t k = 0; k <= n; k += 4) {
        int16_t* out = base + size_t(k) * stride;
        const __m128i around = _mm_or_si128(_mm_or_si128(_mm_castps_si128(a[k - 2]), _mm_castps_si128(a[k - 1])),
                                            _mm_or_si128(_mm_castps_si128(a[k]), _mm_castps_si128(a[k + 1])));
        if (_mm_testz_si128(around, around)) {
            if (k > 0) {
                storeZero4(out - 2 * stride);
                storeZero4(out - stride);
            }
            if (k < n) {
                storeZero4(out);
                storeZero4(out + stride);
            }
            continue;
        }
        const __m128i odd = _mm_or_si128(_mm_castps_si128(a[k - 1]), _mm_castps_si128(a[k + 1]));
        if (_mm_testz_si128(odd, odd)) {
            // b2 = b3 = 0, as around groups that hold only their averages:
            // P = Q = b0 / 2, R = b1 S8 and T = b1 C8 exactly.
            const __m256d b0 = toDouble(_mm_add_ps(a[k - 2], a[k]));
            const __m256d b1 = toDouble(_mm_sub_ps(a[k - 2], a[k]));
            const __m256d P = mul(b0, half);
            const __m256d R = mul(b1, s8);
            const __m256d T = mul(b1, c8);
            if (k > 0) {
                store4(out - 2 * stride, toFloat(add(T, P)));
                store4(out - stride, toFloat(add(P, R)));
            }
            if (k < n) {
                store4(out, toFloat(sub(P, R)));
                store4(out + stride, toFloat(sub(P, rounded(T))));
            }
            continue;
        }
        const __m256d b0 = toDouble(_mm_add_ps(a[k - 2], a[k]));
        const __m256d b1 = toDouble(_mm_sub_ps(a[k - 2], a[k]));
        const __m256d b2 = toDouble(_mm_add_ps(a[k + 1], a[k - 1]));
        const __m256d b3 = toDouble(_mm_sub_ps(a[k - 1], a[k + 1]));
        const __m256d P = mul(add(b0, b2), half);
        const __m256d Q = mul(sub(b0, b2), half);
        const __m256d R = sub(mul(b1, s8), mul(b3, k65));
        const __m256d T = add(mul(b1, c8), mul(b3, k27));
        if (k > 0) {
            store4(out - 2 * stride, toFloat(add(T, P)));
            store4(out - stride, toFloat(add(Q, R)));
        }
        if (k < n) {
            store4(out, toFloat(sub(Q, R)));
            store4(out + stride, toFloat(sub(P, rounded(T))));
        }
    }
}
