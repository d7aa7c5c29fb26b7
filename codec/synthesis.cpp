#include "codec/synthesis.h"

#include <emmintrin.h>

#include "codec/dequantise.h"
#include "codec/plane_layout.h"
#include "codec/synthesis_constants.h"
#include "codec/synthesis_lanes.h"
#include "codec/transpose.h"
#include "lib/heap.h"

using namespace synthesis;

namespace {

// Rounds to single precision; every other intermediate stays double.
inline float f(double value) { return float(value); }

}  // namespace

int16_t planeValueOf(float value) {
    int32_t integer = _mm_cvtss_si32(_mm_set_ss(value));  // nearest, ties to even
    return int16_t(uint16_t(uint32_t(integer)));
}

void idct8(float* values, int32_t stride) {
    const double p0 = values[0], p1 = values[stride], p2 = values[2 * stride], p3 = values[3 * stride];
    const double p4 = values[4 * stride], p5 = values[5 * stride], p6 = values[6 * stride],
                 p7 = values[7 * stride];
    const double E0 = (p0 + p4) * C4;
    const double E1 = (p0 - p4) * C4;
    const double O1 = f(p6 * S8 + p2 * C8);
    const double O2 = p2 * S8 - p6 * C8;
    const double h1 = f(p1 * 0.5);
    const double h7 = f(p7 * 0.5);
    const double a = f((p3 + p5) * C4);
    const double b = f((p3 - p5) * C4);
    const double s0 = f(E0 + O1);
    const double s1 = f(E1 + O2);
    const double X1 = h1 + a;
    const double X2 = h7 + b;
    const double m1 = f(h1 - a);
    const double m2 = f(h7 - b);
    const double U = f(X1 * C16 + X2 * S16);
    const double Y = X1 * S16 - X2 * C16;
    const double V = f(m2 * C316 + m1 * S316);
    const double Z = f(m1 * C316 - m2 * S316);
    values[0] = f(s0 + U);
    values[stride] = f(s1 + Z);
    values[2 * stride] = f((E1 - O2) + V);
    values[3 * stride] = f((E0 - O1) + Y);
    values[4 * stride] = f((E0 - O1) - Y);
    values[5 * stride] = f((E1 - O2) - V);
    values[6 * stride] = f(s1 - Z);
    values[7 * stride] = f(s0 - U);
}

void synthesizeLine(int16_t* x, int32_t n, float* scratch) {
    // a[i] lives at scratch[i + 2] so that the mirrored ends fit.
    float* a = scratch + 2;
    for (int32_t g = 0; g < n; g += 8) {
        const double x0 = x[g], x1 = x[g + 1];
        const double x2h = x[g + 2] * 0.5, x3h = x[g + 3] * 0.5, x4h = x[g + 4] * 0.5;
        const double x5h = x[g + 5] * 0.5, x6h = x[g + 6] * 0.5, x7h = x[g + 7] * 0.5;
        const double e = f((x0 + x1) * C4);
        const double dd = (x0 - x1) * C4;
        const double E = x6h * RS + x2h * RC;
        const double F = x6h * RC - x2h * RS;
        const double G = f(x7h * RS + x3h * RC);
        const double H = x7h * RC - x3h * RS;
        a[g] = f(E + e);
        a[g + 1] = f(x4h + F);
        a[g + 2] = f(e - E);
        a[g + 3] = f(x4h - F);
        a[g + 4] = f(G + dd);
        a[g + 5] = f(H + x5h);
        a[g + 6] = f(dd - G);
        a[g + 7] = f(x5h - H);
    }
    a[-2] = a[0];
    a[-1] = a[1];
    a[n] = a[n - 2];
    a[n + 1] = a[n - 1];
    for (int32_t k = 0; k <= n; k += 4) {
        const double b0 = f(double(a[k - 2]) + a[k]);
        const double b1 = f(double(a[k - 2]) - a[k]);
        const double b2 = f(double(a[k + 1]) + a[k - 1]);
        const double b3 = f(double(a[k - 1]) - a[k + 1]);
        const double P = (b0 + b2) * 0.5;
        const double Q = (b0 - b2) * 0.5;
        const double R = b1 * S8 - b3 * K65;
        const double T = b1 * C8 + b3 * K27;
        // New b[k .. k + 3] are the outputs x[k - 2 .. k + 1]; the ends are dropped.
        const float out[4] = {f(T + P), f(Q + R), f(Q - R), f(P - f(T))};
        for (int32_t i = 0; i < 4; ++i) {
            int32_t index = k - 2 + i;
            if (index >= 0 && index < n) x[index] = planeValueOf(out[i]);
        }
    }
}

namespace {

// Stage A on the first regionColumns columns of regions of a plane whose
// value at block row by and block column bx, the block's first value, lies
// at by * blockRowStep + bx * blockColumnStep.
void synthesizeRegionAveragesAt(int16_t* plane, int32_t height, size_t blockRowStep, size_t blockColumnStep,
                                int32_t regionColumns) {
    for (int32_t ry = 0; ry < height / 64; ++ry) {
        for (int32_t rx = 0; rx < regionColumns; ++rx) {
            int16_t* region = plane + size_t(ry) * 8 * blockRowStep + size_t(rx) * 8 * blockColumnStep;
            float m[64];
            for (int32_t r = 0; r < 8; ++r)
                for (int32_t c = 0; c < 8; ++c) m[8 * r + c] = f(2.0 * region[r * blockRowStep + c * blockColumnStep]);
            for (int32_t c = 0; c < 8; ++c) idct8(m + c, 8);
            for (int32_t r = 0; r < 8; ++r) idct8(m + 8 * r, 1);
            for (int32_t r = 0; r < 8; ++r)
                for (int32_t c = 0; c < 8; ++c)
                    region[r * blockRowStep + c * blockColumnStep] = planeValueOf(m[8 * r + c]);
        }
    }
}

}  // namespace

void synthesizeRegionAverages(int16_t* plane, int32_t width, int32_t height) {
    synthesizeRegionAveragesAt(plane, height, size_t(width) * 8, 8, width / 64);
}

void synthesizeStripColumns(int16_t* strips, int16_t* bands, int32_t width, int32_t height, LaneScratch& scratch,
                            LanePath path) {
    synthesizeRegionAveragesAt(strips, height, 64, size_t(height) * 8, width / 64);
    synthesizeInterleavedLines(strips, width / 8, height, scratch, path);
    bandsFromStrips(strips, bands, width, height);
}

void synthesizeCodedColumns(const PlaneDequantiser& dequantiser, const int16_t* coded, int16_t* bands,
                            int32_t width, int32_t height, int16_t* work, LaneScratch& scratch, LanePath path) {
    const int32_t blockColumns = width / 8;
    int16_t* averages = work;
    int16_t* lines = work + size_t(blockColumns) * size_t(height / 8);
    dequantiser.averagesInto(coded, averages);
    if (path == LanePath::avx512 || (path == LanePath::automatic && avx512Available()))
        synthesizeRegionAveragesAvx512(averages, height, size_t(blockColumns), width / 64);
    else
        synthesizeRegionAveragesAt(averages, height, size_t(blockColumns), 1, width / 64);
    for (int32_t first = 0; first < blockColumns; first += 8) {
        for (int32_t u = 0; u < 8; ++u) {
            dequantiser.columnLinesInto(coded, averages, u, first, lines);
            synthesizeInterleavedLines(lines, 1, height, scratch, path);
            // Line l is column u of block column first + l: each block's
            // eight rows of it are one run in the bands.
            for (int32_t by = 0; by < height / 8; ++by) {
                __m128i block[8];
                for (int32_t r = 0; r < 8; ++r)
                    block[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines + size_t(8 * by + r) * 8));
                transpose8x8(block);
                int16_t* target = bands + bandIndex(8 * by, 8 * first + u, width);
                for (int32_t l = 0; l < 8; ++l)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + size_t(l) * 64), block[l]);
            }
        }
    }
}

void synthesizeBandRows(int16_t* bands, int32_t firstBand, int32_t bandCount, int32_t width, LaneScratch& scratch,
                        LanePath path) {
    synthesizeInterleavedLines(bands + size_t(firstBand) * size_t(width) * 8, bandCount, width, scratch, path);
}

bool synthesizePlane(int16_t* plane, int32_t width, int32_t height) {
    return synthesizePlaneWith(plane, width, height, LanePath::automatic);
}

bool synthesizePlaneWith(int16_t* plane, int32_t width, int32_t height, LanePath path) {
    const size_t count = size_t(width) * size_t(height);
    LaneScratch scratch;
    int16_t* strips = static_cast<int16_t*>(heapAlloc(count * 2 * sizeof(int16_t)));
    if (strips == nullptr || !scratch.allocate(width > height ? width : height)) {
        heapFree(strips);
        return false;
    }
    int16_t* bands = strips + count;
    stripsFromRows(plane, strips, width, height);
    synthesizeStripColumns(strips, bands, width, height, scratch, path);
    synthesizeBandRows(bands, 0, height / 8, width, scratch, path);
    rowsFromBands(bands, plane, width, height);
    heapFree(strips);
    return true;
}
