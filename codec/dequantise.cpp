#include "codec/dequantise.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>

#include "codec/transpose.h"
#include "lib/heap.h"

Subband subbandOfIndex(int32_t i) {
    if (i <= 0) return Subband{0, 0};
    int32_t level = (31 - __builtin_clz(uint32_t(i))) / 2;  // 4^level <= i < 4^(level + 1)
    int32_t b = 1 << level;
    int32_t r = i - b * b;
    int32_t quadrant = r / (b * b);
    int32_t w = r % (b * b);
    int32_t across = w % b;
    int32_t down = w / b;
    if (quadrant == 0) return Subband{b + across, down};
    if (quadrant == 1) return Subband{across, b + down};
    return Subband{b + across, b + down};
}

int32_t quantiserStep(int32_t u, int32_t v, int32_t quality) {
    // The single-precision number nearest to 1/7, widened exactly.
    const double s = double(0x1.24924ap-3f);
    double vertical = std::pow(3.0, double(v) * s);
    double horizontal = std::pow(3.0, double(u) * s);
    return int32_t(std::trunc(vertical * horizontal * double(quality)));
}

namespace {

// reconstructCoefficient on eight 16-bit lanes: the low 16 bits of
// x * step +- step / 2 are those of the 16-bit product and sum.
inline __m128i reconstructLanes(__m128i x, __m128i step, __m128i half) {
    __m128i product = _mm_mullo_epi16(x, step);
    __m128i zero = _mm_setzero_si128();
    __m128i up = _mm_and_si128(_mm_cmpgt_epi16(x, zero), half);
    __m128i down = _mm_and_si128(_mm_cmplt_epi16(x, zero), half);
    return _mm_sub_epi16(_mm_add_epi16(product, up), down);
}

}  // namespace

PlaneDequantiser::PlaneDequantiser(int32_t width, int32_t height, int32_t quality)
    : width_(width), height_(height), quality_(quality) {
    // Offsets into the coded plane: of the subband of each block coefficient,
    // and of the area of each second-level coefficient.
    for (int32_t i = 0; i < 64; ++i) {
        Subband sb = subbandOfIndex(i);
        subbandOffset_[i] = size_t(sb.row) * (height / 8) * size_t(width) + size_t(sb.column) * (width / 8);
        areaOffset_[i] = size_t(sb.row) * (height / 64) * size_t(width) + size_t(sb.column) * (width / 64);
    }
    // The steps as vectors; the block average (i = 0) takes the second-level step q.
    for (int32_t i = 0; i < 64; ++i) {
        const int32_t t = i == 0 ? quality : quantiserStep(i % 8, i / 8, quality);
        step_[i] = _mm_set1_epi16(int16_t(t));
        half_[i] = _mm_set1_epi16(int16_t(t >> 1));
    }
}

void PlaneDequantiser::intoRows(const int16_t* coded, int16_t* blocks) const {
    dequantiseAt(coded, blocks, size_t(width_) * 8, size_t(width_), 8, 0, width_ / 8);
}

void PlaneDequantiser::dequantiseAt(const int16_t* coded, int16_t* blocks, size_t blockRowStep, size_t rowStep,
                                    size_t blockColumnStep, int32_t firstBlockColumn, int32_t endBlockColumn) const {
    // Eight neighbouring blocks at a time (one region's row of blocks): for each
    // block row v, the eight coefficients u of the eight blocks come from eight
    // subband rows and are transposed into the blocks' rows.
    for (int32_t first = firstBlockColumn; first < endBlockColumn; first += 32) {
        const int32_t end = first + 32 < endBlockColumn ? first + 32 : endBlockColumn;
        for (int32_t by = 0; by < height_ / 8; ++by) {
            for (int32_t bx = first; bx < end; bx += 8) {
                const int16_t* codedRow = coded + size_t(by) * size_t(width_) + size_t(bx);
                const int16_t* averageRow = coded + size_t(by / 8) * size_t(width_) + size_t(bx / 8);
                int16_t* out = blocks + size_t(by) * blockRowStep + size_t(bx - firstBlockColumn) * blockColumnStep;
                for (int32_t v = 0; v < 8; ++v) {
                    int16_t* row = out + size_t(v) * rowStep;
                    if (v > 0) {
                        // Rows of high frequencies are mostly zero in all eight
                        // blocks: zeros stay zeros.
                        __m128i any = _mm_setzero_si128();
                        for (int32_t u = 0; u < 8; ++u)
                            any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                        codedRow + subbandOffset_[8 * v + u])));
                        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF) {
                            for (int32_t c = 0; c < 8; ++c)
                                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + size_t(c) * blockColumnStep),
                                                 _mm_setzero_si128());
                            continue;
                        }
                    }
                    __m128i lanes[8];
                    for (int32_t u = 0; u < 8; ++u) {
                        const int32_t i = 8 * v + u;
                        if (i == 0) {
                            alignas(16) int16_t averages[8];
                            for (int32_t c = 0; c < 8; ++c) averages[c] = averageRow[areaOffset_[8 * (by % 8) + c]];
                            lanes[0] = reconstructLanes(_mm_load_si128(reinterpret_cast<const __m128i*>(averages)),
                                                        step_[0], half_[0]);
                        } else {
                            const int16_t* source = codedRow + subbandOffset_[i];
                            lanes[u] = reconstructLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)),
                                                        step_[i], half_[i]);
                        }
                    }
                    transpose8x8(lanes);
                    for (int32_t c = 0; c < 8; ++c)
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + size_t(c) * blockColumnStep), lanes[c]);
                }
            }
        }
    }
}

void PlaneDequantiser::averagesInto(const int16_t* coded, int16_t* averages) const {
    // Block (bx, by) takes value j = 8 (by mod 8) + bx mod 8 of region
    // (bx / 8, by / 8); a region row's values j lie in one run of the coded plane.
    const int32_t regionColumns = width_ / 64;
    for (int32_t by = 0; by < height_ / 8; ++by) {
        const int16_t* regionRow = coded + size_t(by / 8) * size_t(width_);
        int16_t* out = averages + size_t(by) * size_t(regionColumns) * 8;
        for (int32_t c = 0; c < 8; ++c) {
            const int16_t* area = regionRow + areaOffset_[8 * (by % 8) + c];
            for (int32_t rx = 0; rx < regionColumns; ++rx) out[8 * rx + c] = reconstructCoefficient(area[rx], quality_);
        }
    }
}

void PlaneDequantiser::columnLinesInto(const int16_t* coded, const int16_t* averages, int32_t u,
                                       int32_t firstBlockColumn, int16_t* lines) const {
    ColumnSources sources;
    for (int32_t v = 0; v < 8; ++v) {
        const int32_t i = 8 * v + u;
        sources.rows[v] = coded + subbandOffset_[i] + size_t(firstBlockColumn);
        sources.rowStep[v] = size_t(width_);
        sources.step[v] = int16_t(_mm_cvtsi128_si32(step_[i]));
        sources.half[v] = int16_t(_mm_cvtsi128_si32(half_[i]));
    }
    if (u == 0) {
        // The block averages, already dequantised and synthesised.
        sources.rows[0] = averages + size_t(firstBlockColumn);
        sources.rowStep[0] = size_t(width_ / 8);
        sources.step[0] = 1;
        sources.half[0] = 0;
    }
    dequantiseColumnLines(sources, height_ / 8, lines);
}

void dequantiseColumnLinesPortable(const ColumnSources& sources, int32_t blockRows, int16_t* lines) {
    __m128i steps[8], halves[8];
    for (int32_t v = 0; v < 8; ++v) {
        steps[v] = _mm_set1_epi16(sources.step[v]);
        halves[v] = _mm_set1_epi16(sources.half[v]);
    }
    for (int32_t by = 0; by < blockRows; ++by) {
        int16_t* out = lines + size_t(by) * 64;
        for (int32_t v = 0; v < 8; ++v) {
            const int16_t* row = sources.rows[v] + size_t(by) * sources.rowStep[v];
            // Eight subbands are read row by row, far apart: fetched ahead.
            _mm_prefetch(reinterpret_cast<const char*>(row + 2 * sources.rowStep[v]), _MM_HINT_T0);
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * v), reconstructLanes(x, steps[v], halves[v]));
        }
    }
}

void dequantiseColumnLines(const ColumnSources& sources, int32_t blockRows, int16_t* lines) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = dequantiseAvx2Compiled() && __builtin_cpu_supports("avx2");
    if (avx2) return dequantiseColumnLinesAvx2(sources, blockRows, lines);
#endif
    dequantiseColumnLinesPortable(sources, blockRows, lines);
}

void dequantisePlaneInto(const int16_t* coded, int16_t* blocks, int32_t width, int32_t height, int32_t quality) {
    PlaneDequantiser(width, height, quality).intoRows(coded, blocks);
}

bool dequantisePlane(int16_t** plane, int32_t width, int32_t height, int32_t quality) {
    int16_t* blocks = static_cast<int16_t*>(heapAlloc(size_t(width) * size_t(height) * 2));
    if (blocks == nullptr) return false;
    dequantisePlaneInto(*plane, blocks, width, height, quality);
    heapFree(*plane);
    *plane = blocks;
    return true;
}
