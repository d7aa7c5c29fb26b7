// The line synthesis on four lines at once. Every formula is the scalar one
// (synthesizeLine) evaluated lane-wise with the same rounding points: double
// precision in pairs of __m128d, single precision where a value is rounded.
#include "codec/synthesis_lanes.h"

#include <emmintrin.h>

#include "codec/synthesis_constants.h"
#include "lib/heap.h"

using namespace synthesis;

namespace {

struct D4 {
    __m128d lo, hi;
};

inline D4 operator+(D4 a, D4 b) { return {_mm_add_pd(a.lo, b.lo), _mm_add_pd(a.hi, b.hi)}; }
inline D4 operator-(D4 a, D4 b) { return {_mm_sub_pd(a.lo, b.lo), _mm_sub_pd(a.hi, b.hi)}; }
inline D4 operator*(D4 a, __m128d c) { return {_mm_mul_pd(a.lo, c), _mm_mul_pd(a.hi, c)}; }

inline __m128 toFloat(D4 a) { return _mm_movelh_ps(_mm_cvtpd_ps(a.lo), _mm_cvtpd_ps(a.hi)); }
inline D4 toDouble(__m128 v) { return {_mm_cvtps_pd(v), _mm_cvtps_pd(_mm_movehl_ps(v, v))}; }
inline D4 rounded(D4 a) { return {_mm_cvtps_pd(_mm_cvtpd_ps(a.lo)), _mm_cvtps_pd(_mm_cvtpd_ps(a.hi))}; }

// Nearest integer, ties to even, keeping the low 16 bits of each 32-bit lane.
inline __m128i toPlane(__m128 v) {
    __m128i i = _mm_cvtps_epi32(v);
    i = _mm_srai_epi32(_mm_slli_epi32(i, 16), 16);
    return _mm_packs_epi32(i, i);
}

inline void store4(int16_t* p, __m128 v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), toPlane(v)); }

inline void storeZero4(int16_t* p) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_setzero_si128()); }

inline __m128i loadRaw(const int16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

inline D4 widen(__m128i v) {
    v = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
    return {_mm_cvtepi32_pd(v), _mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0xEE))};
}

// True when all bits of v are zero (floats: only +0.0 counts).
inline bool allZero(__m128i v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xFFFF; }
inline bool allZero(__m128 v) { return allZero(_mm_castps_si128(v)); }

// Sample i of lane l is base[i * stride + l]; a holds n + 4 four-lane floats.
void synthesizeLanes(int16_t* base, size_t stride, int32_t n, __m128* scratch) {
    const __m128d c4 = _mm_set1_pd(C4);
    const __m128d half = _mm_set1_pd(0.5);
    // x2h * RS == x2 * (RS / 2) exactly: both products are exact in double.
    const __m128d rsHalf = _mm_set1_pd(double(RS) * 0.5);
    const __m128d rcHalf = _mm_set1_pd(double(RC) * 0.5);
    __m128* a = scratch + 2;
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
            const __m128 zero = _mm_setzero_ps();
            if (allZero(_mm_or_si128(r0, r1))) {
                for (int32_t i = 0; i < 8; ++i) a[g + i] = zero;
                continue;
            }
            const D4 x0 = widen(r0), x1 = widen(r1);
            const __m128 e = toFloat((x0 + x1) * c4);
            const __m128 d = toFloat((x0 - x1) * c4);
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
        const D4 x0 = widen(r0), x1 = widen(r1), x2 = widen(r2), x3 = widen(r3);
        const D4 x4 = widen(r4), x5 = widen(r5), x6 = widen(r6), x7 = widen(r7);
        const D4 e = rounded((x0 + x1) * c4);
        const D4 dd = (x0 - x1) * c4;
        const D4 E = x6 * rsHalf + x2 * rcHalf;
        const D4 F = x6 * rcHalf - x2 * rsHalf;
        const D4 G = rounded(x7 * rsHalf + x3 * rcHalf);
        const D4 H = x7 * rcHalf - x3 * rsHalf;
        const D4 x4h = x4 * half, x5h = x5 * half;
        a[g] = toFloat(E + e);
        a[g + 1] = toFloat(x4h + F);
        a[g + 2] = toFloat(e - E);
        a[g + 3] = toFloat(x4h - F);
        a[g + 4] = toFloat(G + dd);
        a[g + 5] = toFloat(H + x5h);
        a[g + 6] = toFloat(dd - G);
        a[g + 7] = toFloat(x5h - H);
    }
    a[-2] = a[0];
    a[-1] = a[1];
    a[n] = a[n - 2];
    a[n + 1] = a[n - 1];

    const __m128d s8 = _mm_set1_pd(S8), c8 = _mm_set1_pd(C8);
    const __m128d k65 = _mm_set1_pd(K65), k27 = _mm_set1_pd(K27);
    for (int32_t k = 0; k <= n; k += 4) {
        int16_t* out = base + size_t(k) * stride;
        if (allZero(_mm_or_ps(a[k - 1], a[k + 1]))) {
            if (allZero(_mm_or_ps(a[k - 2], a[k]))) {
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
            // b2 = b3 = 0, as around groups that hold only their averages:
            // P = Q = b0 / 2, R = b1 S8 and T = b1 C8 exactly.
            const D4 b0 = toDouble(_mm_add_ps(a[k - 2], a[k]));
            const D4 b1 = toDouble(_mm_sub_ps(a[k - 2], a[k]));
            const D4 P = b0 * half;
            const D4 R = b1 * s8;
            const D4 T = b1 * c8;
            if (k > 0) {
                store4(out - 2 * stride, toFloat(T + P));
                store4(out - stride, toFloat(P + R));
            }
            if (k < n) {
                store4(out, toFloat(P - R));
                store4(out + stride, toFloat(P - rounded(T)));
            }
            continue;
        }
        // A sum of two floats rounded once to single precision is the same
        // whether it is formed in double first or directly in float.
        const D4 b0 = toDouble(_mm_add_ps(a[k - 2], a[k]));
        const D4 b1 = toDouble(_mm_sub_ps(a[k - 2], a[k]));
        const D4 b2 = toDouble(_mm_add_ps(a[k + 1], a[k - 1]));
        const D4 b3 = toDouble(_mm_sub_ps(a[k - 1], a[k + 1]));
        const D4 P = (b0 + b2) * half;
        const D4 Q = (b0 - b2) * half;
        const D4 R = b1 * s8 - b3 * k65;
        const D4 T = b1 * c8 + b3 * k27;
        if (k > 0) {
            store4(out - 2 * stride, toFloat(T + P));
            store4(out - stride, toFloat(Q + R));
        }
        if (k < n) {
            store4(out, toFloat(Q - R));
            store4(out + stride, toFloat(P - rounded(T)));
        }
    }
}

using LaneFunction = void (*)(int16_t* base, size_t stride, int32_t n, __m128* scratch);

void synthesizeLanesAvxAdapter(int16_t* base, size_t stride, int32_t n, __m128* scratch) {
    synthesizeLanesAvx(base, stride, n, reinterpret_cast<float*>(scratch));
}

// A kernel with the number of lines it transforms at once.
struct Lanes {
    LaneFunction function;
    int32_t count;
};

void synthesizeLanesAvx512Adapter(int16_t* base, size_t stride, int32_t n, __m128* scratch) {
    synthesizeLanesAvx512(base, stride, n, reinterpret_cast<float*>(scratch));
}

Lanes lanesFor(LanePath path) {
    if (path == LanePath::automatic)
        path = avx512Available() ? LanePath::avx512 : avxAvailable() ? LanePath::avx : LanePath::sse2;
    if (path == LanePath::avx512) return Lanes{synthesizeLanesAvx512Adapter, 8};
    if (path == LanePath::avx) return Lanes{synthesizeLanesAvxAdapter, 4};
    return Lanes{synthesizeLanes, 4};
}

}  // namespace

bool avxAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool available = __builtin_cpu_supports("avx");
    return available;
#else
    return false;
#endif
}

bool avx512Available() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool available =
        avx512Compiled() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return available;
#else
    return false;
#endif
}

bool LaneScratch::allocate(int32_t longestLine) {
    release();
    block = heapAlloc((size_t(longestLine) + 4) * 8 * sizeof(float) + 64);
    if (block == nullptr) return false;
    lines = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63));
    return true;
}

void LaneScratch::release() {
    heapFree(block);
    block = nullptr;
    lines = nullptr;
}

void synthesizeInterleavedLines(int16_t* values, int32_t groups, int32_t length, LaneScratch& scratch,
                                LanePath path) {
    const Lanes lanes = lanesFor(path);
    __m128* lines = reinterpret_cast<__m128*>(scratch.lines);
    for (int32_t group = 0; group < groups; ++group) {
        int16_t* first = values + size_t(group) * size_t(length) * 8;
        for (int32_t l = 0; l < 8; l += lanes.count) lanes.function(first + l, 8, length, lines);
    }
}
