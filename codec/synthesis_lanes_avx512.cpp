// The lane-parallel line synthesis on eight lines at once with 512-bit
// registers: the same formulas and rounding points as synthesis_lanes.cpp,
// eight double lanes per register. Compiled for AVX-512 (F and VL) and only
// called when the processor and the system support it; everything in it
// stays local so that no AVX-512 code is shared by accident. Windows builds
// leave it out: their compilers do not align the stack for 64-byte spills.
#include "codec/synthesis_lanes.h"

#if defined(__AVX512F__) && defined(__AVX512VL__) && !defined(_WIN32)

// The conversions of some compilers' headers pass a deliberately undefined
// register as the unused merge source, which they then warn about.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#include "codec/synthesis_constants.h"

using namespace synthesis;

namespace {

inline __m128i loadRaw(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m512d widen(__m128i v) { return _mm512_cvtepi32_pd(_mm256_cvtepi16_epi32(v)); }

inline __m256 toFloat(__m512d a) { return _mm512_cvtpd_ps(a); }
inline __m512d toDouble(__m256 v) { return _mm512_cvtps_pd(v); }
inline __m512d rounded(__m512d a) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(a)); }

inline __m512d add(__m512d a, __m512d b) { return _mm512_add_pd(a, b); }
inline __m512d sub(__m512d a, __m512d b) { return _mm512_sub_pd(a, b); }
inline __m512d mul(__m512d a, __m512d b) { return _mm512_mul_pd(a, b); }

inline bool allZero(__m128i v) { return _mm_testz_si128(v, v) != 0; }
inline bool allZero(__m256 v) { return _mm256_testz_si256(_mm256_castps_si256(v), _mm256_castps_si256(v)) != 0; }

// Nearest integer, ties to even, of which the low 16 bits are kept.
inline void store8(int16_t* p, __m256 v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_cvtepi32_epi16(_mm256_cvtps_epi32(v)));
}

inline void storeZero8(int16_t* p) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_setzero_si128()); }

// Two rows, at p and p + stride. Where they are neighbours in memory (the
// lines interleaved eight by eight, as the decoder holds them) they are
// converted and stored as one, which halves the narrowing conversions.
inline void storeTwo8(int16_t* p, size_t stride, __m256 first, __m256 second) {
    if (stride == 8) {
        const __m512 both = _mm512_castpd_ps(
            _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(first)), _mm256_castps_pd(second), 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_cvtepi32_epi16(_mm512_cvtps_epi32(both)));
    } else {
        store8(p, first);
        store8(p + stride, second);
    }
}

}  // namespace

bool avx512Compiled() { return true; }

void synthesizeLanesAvx512(int16_t* base, size_t stride, int32_t n, float* scratchLine) {
    const __m512d c4 = _mm512_set1_pd(C4);
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d rsHalf = _mm512_set1_pd(double(RS) * 0.5);
    const __m512d rcHalf = _mm512_set1_pd(double(RC) * 0.5);
    __m256* a = reinterpret_cast<__m256*>(scratchLine) + 2;
    for (int32_t g = 0; g < n; g += 8) {
        const int16_t* p = base + size_t(g) * stride;
        const __m128i r0 = loadRaw(p), r1 = loadRaw(p + stride), r2 = loadRaw(p + 2 * stride);
        const __m128i r3 = loadRaw(p + 3 * stride), r4 = loadRaw(p + 4 * stride), r5 = loadRaw(p + 5 * stride);
        const __m128i r6 = loadRaw(p + 6 * stride), r7 = loadRaw(p + 7 * stride);
        const __m128i high = _mm_or_si128(_mm_or_si128(_mm_or_si128(r2, r3), _mm_or_si128(r4, r5)),
                                          _mm_or_si128(r6, r7));
        if (allZero(high)) {
            // Groups of zeros and groups holding only their two averages are
            // common: E, F, G, H and the halves vanish, and the formulas
            // reduce to e and dd (each exactly as written; zeros give zeros).
            const __m256 zero = _mm256_setzero_ps();
            if (allZero(_mm_or_si128(r0, r1))) {
                for (int32_t i = 0; i < 8; ++i) a[g + i] = zero;
                continue;
            }
            const __m512d x0 = widen(r0), x1 = widen(r1);
            const __m256 e = toFloat(mul(add(x0, x1), c4));
            const __m256 d = toFloat(mul(sub(x0, x1), c4));
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
        const __m512d x0 = widen(r0), x1 = widen(r1), x2 = widen(r2), x3 = widen(r3);
        const __m512d x4 = widen(r4), x5 = widen(r5), x6 = widen(r6), x7 = widen(r7);
        const __m512d e = rounded(mul(add(x0, x1), c4));
        const __m512d dd = mul(sub(x0, x1), c4);
        const __m512d E = add(mul(x6, rsHalf), mul(x2, rcHalf));
        const __m512d F = sub(mul(x6, rcHalf), mul(x2, rsHalf));
        const __m512d G = rounded(add(mul(x7, rsHalf), mul(x3, rcHalf)));
        const __m512d H = sub(mul(x7, rcHalf), mul(x3, rsHalf));
        const __m512d x4h = mul(x4, half), x5h = mul(x5, half);
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

    const __m512d s8 = _mm512_set1_pd(S8), c8 = _mm512_set1_pd(C8);
    const __m512d k65 = _mm512_set1_pd(K65), k27 = _mm512_set1_pd(K27);
    for (int32_t k = 0; k <= n; k += 4) {
        int16_t* out = base + size_t(k) * stride;
        const __m256 odd = _mm256_or_ps(a[k - 1], a[k + 1]);
        if (allZero(odd)) {
            if (allZero(_mm256_or_ps(a[k - 2], a[k]))) {
                if (k > 0) {
                    storeZero8(out - 2 * stride);
                    storeZero8(out - stride);
                }
                if (k < n) {
                    storeZero8(out);
                    storeZero8(out + stride);
                }
                continue;
            }
            // b2 = b3 = 0, as around groups that hold only their averages:
            // P = Q = b0 / 2, R = b1 S8 and T = b1 C8 exactly.
            const __m512d b0 = toDouble(_mm256_add_ps(a[k - 2], a[k]));
            const __m512d b1 = toDouble(_mm256_sub_ps(a[k - 2], a[k]));
            const __m512d P = mul(b0, half);
            const __m512d R = mul(b1, s8);
            const __m512d T = mul(b1, c8);
            if (k > 0) storeTwo8(out - 2 * stride, stride, toFloat(add(T, P)), toFloat(add(P, R)));
            if (k < n) storeTwo8(out, stride, toFloat(sub(P, R)), toFloat(sub(P, rounded(T))));
            continue;
        }
        const __m512d b0 = toDouble(_mm256_add_ps(a[k - 2], a[k]));
        const __m512d b1 = toDouble(_mm256_sub_ps(a[k - 2], a[k]));
        const __m512d b2 = toDouble(_mm256_add_ps(a[k + 1], a[k - 1]));
        const __m512d b3 = toDouble(_mm256_sub_ps(a[k - 1], a[k + 1]));
        const __m512d P = mul(add(b0, b2), half);
        const __m512d Q = mul(sub(b0, b2), half);
        const __m512d R = sub(mul(b1, s8), mul(b3, k65));
        const __m512d T = add(mul(b1, c8), mul(b3, k27));
        if (k > 0) storeTwo8(out - 2 * stride, stride, toFloat(add(T, P)), toFloat(add(Q, R)));
        if (k < n) storeTwo8(out, stride, toFloat(sub(Q, R)), toFloat(sub(P, rounded(T))));
    }
}

namespace {

// The synthesis DCT on eight lanes at once, formula by formula as idct8
// (synthesis.cpp) computes it, every rounding point in its place.
void idct8Lanes(__m512d p[8]) {
    const __m512d c4 = _mm512_set1_pd(C4), c8 = _mm512_set1_pd(C8), s8 = _mm512_set1_pd(S8);
    const __m512d c16 = _mm512_set1_pd(C16), s16 = _mm512_set1_pd(S16);
    const __m512d c316 = _mm512_set1_pd(C316), s316 = _mm512_set1_pd(S316), half = _mm512_set1_pd(0.5);
    const __m512d E0 = mul(add(p[0], p[4]), c4);
    const __m512d E1 = mul(sub(p[0], p[4]), c4);
    const __m512d O1 = rounded(add(mul(p[6], s8), mul(p[2], c8)));
    const __m512d O2 = sub(mul(p[2], s8), mul(p[6], c8));
    const __m512d h1 = rounded(mul(p[1], half));
    const __m512d h7 = rounded(mul(p[7], half));
    const __m512d a = rounded(mul(add(p[3], p[5]), c4));
    const __m512d b = rounded(mul(sub(p[3], p[5]), c4));
    const __m512d s0 = rounded(add(E0, O1));
    const __m512d s1 = rounded(add(E1, O2));
    const __m512d X1 = add(h1, a);
    const __m512d X2 = add(h7, b);
    const __m512d m1 = rounded(sub(h1, a));
    const __m512d m2 = rounded(sub(h7, b));
    const __m512d U = rounded(add(mul(X1, c16), mul(X2, s16)));
    const __m512d Y = sub(mul(X1, s16), mul(X2, c16));
    const __m512d V = rounded(add(mul(m2, c316), mul(m1, s316)));
    const __m512d Z = rounded(sub(mul(m1, c316), mul(m2, s316)));
    p[0] = rounded(add(s0, U));
    p[1] = rounded(add(s1, Z));
    p[2] = rounded(add(sub(E1, O2), V));
    p[3] = rounded(add(sub(E0, O1), Y));
    p[4] = rounded(sub(sub(E0, O1), Y));
    p[5] = rounded(sub(sub(E1, O2), V));
    p[6] = rounded(sub(s1, Z));
    p[7] = rounded(sub(s0, U));
}

// Transposes eight rows of eight floats.
void transpose8x8(__m256 r[8]) {
    const __m256 a0 = _mm256_unpacklo_ps(r[0], r[1]), a1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 a2 = _mm256_unpacklo_ps(r[2], r[3]), a3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 a4 = _mm256_unpacklo_ps(r[4], r[5]), a5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 a6 = _mm256_unpacklo_ps(r[6], r[7]), a7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 b0 = _mm256_shuffle_ps(a0, a2, 0x44), b1 = _mm256_shuffle_ps(a0, a2, 0xEE);
    const __m256 b2 = _mm256_shuffle_ps(a1, a3, 0x44), b3 = _mm256_shuffle_ps(a1, a3, 0xEE);
    const __m256 b4 = _mm256_shuffle_ps(a4, a6, 0x44), b5 = _mm256_shuffle_ps(a4, a6, 0xEE);
    const __m256 b6 = _mm256_shuffle_ps(a5, a7, 0x44), b7 = _mm256_shuffle_ps(a5, a7, 0xEE);
    r[0] = _mm256_permute2f128_ps(b0, b4, 0x20);
    r[1] = _mm256_permute2f128_ps(b1, b5, 0x20);
    r[2] = _mm256_permute2f128_ps(b2, b6, 0x20);
    r[3] = _mm256_permute2f128_ps(b3, b7, 0x20);
    r[4] = _mm256_permute2f128_ps(b0, b4, 0x31);
    r[5] = _mm256_permute2f128_ps(b1, b5, 0x31);
    r[6] = _mm256_permute2f128_ps(b2, b6, 0x31);
    r[7] = _mm256_permute2f128_ps(b3, b7, 0x31);
}

}  // namespace

void synthesizeRegionAveragesAvx512(int16_t* averages, int32_t height, size_t blockRowStep,
                                    int32_t regionColumns) {
    const __m512d two = _mm512_set1_pd(2.0);
    for (int32_t ry = 0; ry < height / 64; ++ry) {
        for (int32_t rx = 0; rx < regionColumns; ++rx) {
            int16_t* region = averages + size_t(ry) * 8 * blockRowStep + size_t(rx) * 8;
            // Lane c holds column c: the columns' DCTs at once (2 x is exact).
            __m512d p[8];
            for (int32_t r = 0; r < 8; ++r) p[r] = mul(widen(loadRaw(region + size_t(r) * blockRowStep)), two);
            idct8Lanes(p);
            // Then lane r holds row r: the rows' DCTs at once.
            __m256 rows[8];
            for (int32_t r = 0; r < 8; ++r) rows[r] = toFloat(p[r]);
            transpose8x8(rows);
            for (int32_t c = 0; c < 8; ++c) p[c] = toDouble(rows[c]);
            idct8Lanes(p);
            for (int32_t c = 0; c < 8; ++c) rows[c] = toFloat(p[c]);
            transpose8x8(rows);
            for (int32_t r = 0; r < 8; ++r) store8(region + size_t(r) * blockRowStep, rows[r]);
        }
    }
}

#else

bool avx512Compiled() { return false; }

void synthesizeRegionAveragesAvx512(int16_t*, int32_t, size_t, int32_t) {}

void synthesizeLanesAvx512(int16_t*, size_t, int32_t, float*) {}

#endif
