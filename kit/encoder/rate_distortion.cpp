#include "kit/encoder/rate_distortion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "kit/encoder/coefficient_coder.h"
#include "kit/encoder/coefficient_layout.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/encoder/synthesis_gains.h"

namespace encoder {

namespace {

const int kMaxPlanes = 15;
// Passes over a group: each re-estimates the bit costs from the levels the
// previous one chose.
const int kIterations = 3;
// Prior of the placement estimate: a plane with few candidates or none placed
// still gets a finite price.
const double kPrior = 0.4;
// Weight, in candidates, of the group's probability in a cell's estimate.
const double kCellPrior = 32.0;

inline int msb(int level) { return 31 - __builtin_clz(unsigned(level)); }

// Block coefficient index i whose subband is (column P, row Q), or the
// second-level coefficient whose area it is.
struct SubbandIndex {
    int of[8][8];
    SubbandIndex() {
        for (int i = 0; i < 64; ++i) of[subbandRow(i)][subbandColumn(i)] = i;
    }
};

// The cost model of a run of coefficients: for each bit plane b, the price of
// a coefficient that is still zero when the significance pass reaches it in
// plane b staying zero, and of becoming significant there (sign included).
// The adaptive run code spends close to the entropy of the placements among
// the candidates of a plane, so the prices are those of that binary source.
// The run code follows the local density within a few codes, so the
// probabilities of a cell lean on the cell's own counts and fall back to the
// group's where the cell has few candidates.
struct PlaneCounts {
    int planes = 0;
    int placed[kMaxPlanes], candidates[kMaxPlanes];
    PlaneCounts(const int* histogram, int planeCount) : planes(planeCount) {
        int seen = histogram[0];
        for (int b = 0; b < kMaxPlanes; ++b) {
            seen += histogram[b + 1];
            candidates[b] = seen;
            placed[b] = histogram[b + 1];
        }
    }
};

struct GroupCosts {
    // extra[q]: bits of a level whose highest bit is q, over those of zero:
    // placed in plane q instead of staying zero in planes q .. 0, plus q
    // refinement bits.
    double extra[kMaxPlanes];
    double zeroBits;  // bits of a coefficient that stays zero throughout

    // group: the counts of the whole group (count coefficients); cell, when
    // not null, those of one cell, weighed against the group's with the
    // strength kCellPrior.
    GroupCosts(const PlaneCounts& group, int count, const PlaneCounts* cell = nullptr) {
        double stayed = 0.0;  // sum of the stay prices of planes 0 .. b
        zeroBits = 0.0;
        for (int b = 0; b < kMaxPlanes; ++b) {
            const bool inGroup = b < group.planes;
            const double placed = inGroup ? group.placed[b] : 0;
            const double seen = inGroup ? group.candidates[b] : count;
            double p = (placed + kPrior) / (seen + 2 * kPrior);
            if (cell && inGroup) p = (cell->placed[b] + kCellPrior * p) / (cell->candidates[b] + kCellPrior);
            const double stay = -std::log2(1.0 - p);
            stayed += stay;
            if (inGroup) zeroBits += stay;
            extra[b] = -std::log2(p) + 1.0 - stayed + b;
        }
    }
};

int planesOf(const int* histogram) {
    int planes = 0;
    for (int q = 0; q < kMaxPlanes; ++q)
        if (histogram[q + 1]) planes = q + 1;
    return planes;
}

void histogramOf(const int16_t* levels, int count, int* histogram) {
    std::fill(histogram, histogram + kMaxPlanes + 1, 0);
    for (int i = 0; i < count; ++i) ++histogram[levels[i] ? msb(levels[i]) + 1 : 0];
}

void quantiseGroup(const RdoPlane& plane, size_t first, int count, double lambda, int16_t* levels,
                   float* prices) {
    const float* magnitude = &plane.magnitude[first];
    const float* weight = &plane.weight[first];
    const int16_t* limit = &plane.limit[first];
    std::copy(&plane.start[first], &plane.start[first] + count, levels);
    const int cellSize = count / 16;
    int histogram[kMaxPlanes + 1], cellHistogram[kMaxPlanes + 1];
    for (int iteration = 0; iteration < kIterations; ++iteration) {
        histogramOf(levels, count, histogram);
        if (histogram[0] == count && iteration > 0) break;
        const PlaneCounts group(histogram, planesOf(histogram));
        for (int cell = 0; cell < 16; ++cell) {
            const int begin = cell * cellSize, end = begin + cellSize;
            histogramOf(levels + begin, cellSize, cellHistogram);
            const PlaneCounts counts(cellHistogram, group.planes);
            const GroupCosts costs(group, count, &counts);
            if (prices)
                for (int q = 0; q < kMaxPlanes; ++q) prices[cell * kMaxPlanes + q] = float(costs.extra[q]);
            double price[kMaxPlanes];
            for (int q = 0; q < kMaxPlanes; ++q) price[q] = lambda * costs.extra[q];
            for (int i = begin; i < end; ++i) {
                const double a = magnitude[i];
                // Below 0.75 steps zero is both nearer and cheaper than 1.5.
                if (a < 0.75) {
                    levels[i] = 0;
                    continue;
                }
                const double w = weight[i];
                int best = 0;
                double bestCost = w * a * a;
                int f = int(a);
                if (f < 1) f = 1;
                if (f > limit[i]) f = limit[i];
                for (int m = f; m >= f - 1 && m >= 1; --m) {
                    const double e = a - (m + 0.5);
                    const double cost = w * e * e + price[msb(m)];
                    if (cost < bestCost) {
                        bestCost = cost;
                        best = m;
                    }
                }
                levels[i] = int16_t(best);
            }
        }
    }
}

}  // namespace

double modelGroupBits(const int16_t* levels, int count) {
    int histogram[kMaxPlanes + 1];
    histogramOf(levels, count, histogram);
    const GroupCosts costs(PlaneCounts(histogram, planesOf(histogram)), count);
    double bits = 4.0 + count * costs.zeroBits;
    for (int i = 0; i < count; ++i)
        if (levels[i]) bits += costs.extra[msb(levels[i])];
    return bits;
}

RdoPlane prepareRdoPlane(const std::vector<double>& blockPlane, int width, int height, int quality,
                         double planeWeight, const std::vector<float>& activityWeights) {
    if (width % 64 || height % 64 || width <= 0 || height <= 0 ||
        blockPlane.size() != size_t(width) * size_t(height))
        throw std::invalid_argument("plane size must be a multiple of 64");
    static const SubbandIndex subbands;
    const SynthesisGains& gains = synthesisGains();
    const EncoderOptions deadZones;
    int steps[64];
    double blockWeights[64], regionWeights[64], zones[64];
    for (int i = 0; i < 64; ++i) {
        steps[i] = quantiserStep(i % 8, i / 8, quality);
        blockWeights[i] = planeWeight * gains.block[i] * double(steps[i]) * double(steps[i]);
        regionWeights[i] = planeWeight * gains.region[i] * double(quality) * double(quality);
        zones[i] = deadZoneOf(i, deadZones);
    }
    RdoPlane plane;
    plane.width = width;
    plane.height = height;
    plane.planeWeight = planeWeight;
    const int cellWidth = width / 64, cellHeight = height / 64;
    plane.groupSize = 16 * cellWidth * cellHeight;
    const size_t count = size_t(width) * size_t(height);
    plane.place.reserve(count);
    plane.magnitude.reserve(count);
    plane.weight.reserve(count);
    plane.negative.reserve(count);
    plane.limit.reserve(count);
    plane.start.reserve(count);
    plane.step.reserve(count);
    plane.row.reserve(count);
    plane.column.reserve(count);
    const int subbandWidth = width / 8, subbandHeight = height / 8;
    const int blocksPerRow = width / 8;
    for (int s = 0; s < 4096; ++s) {
        const Cell cell = cellOfScanPosition(s);
        for (int y = 0; y < cellHeight; ++y) {
            for (int x = 0; x < cellWidth; ++x) {
                const int row = cell.row * cellHeight + y, column = cell.column * cellWidth + x;
                int bx, by, step, basisRow, basisColumn;
                double value, weight, zone;
                if (row < subbandHeight && column < subbandWidth) {
                    const int j = subbands.of[row / cellHeight][column / cellWidth];
                    bx = 8 * (column % cellWidth) + j % 8;
                    by = 8 * (row % cellHeight) + j / 8;
                    value = blockPlane[size_t(8) * by * width + size_t(8) * bx];
                    step = quality;
                    basisRow = height + 8 * (row % cellHeight) + j / 8;
                    basisColumn = width + 8 * (column % cellWidth) + j % 8;
                    weight = regionWeights[j];
                    zone = zones[0];
                } else {
                    const int i = subbands.of[row / subbandHeight][column / subbandWidth];
                    bx = column % subbandWidth;
                    by = row % subbandHeight;
                    value = blockPlane[(size_t(8) * by + i / 8) * width + size_t(8) * bx + i % 8];
                    step = steps[i];
                    basisRow = 8 * by + i / 8;
                    basisColumn = 8 * bx + i % 8;
                    weight = blockWeights[i];
                    zone = zones[i];
                }
                if (!activityWeights.empty()) weight *= activityWeights[size_t(by) * blocksPerRow + bx];
                const int level = quantise(value, step, zone, 0.5);
                plane.place.push_back(uint32_t(size_t(row) * width + column));
                plane.magnitude.push_back(float(std::fabs(value) / step));
                plane.weight.push_back(float(weight));
                plane.negative.push_back(value < 0 ? 1 : 0);
                plane.limit.push_back(int16_t((32767 - (step >> 1)) / step));
                plane.start.push_back(int16_t(std::abs(level)));
                plane.step.push_back(uint16_t(step));
                plane.row.push_back(uint16_t(basisRow));
                plane.column.push_back(uint16_t(basisColumn));
            }
        }
    }
    return plane;
}

std::vector<int16_t> quantiseRdo(const RdoPlane& plane, double lambda, std::vector<float>* cellPrices) {
    static_assert(kPricePlanes == kMaxPlanes, "one price per bit plane");
    std::vector<int16_t> coded(size_t(plane.width) * size_t(plane.height), 0);
    std::vector<int16_t> levels(size_t(plane.groupSize));
    if (cellPrices) cellPrices->assign(size_t(4096) * kMaxPlanes, 0.0f);
    for (size_t first = 0; first < plane.place.size(); first += size_t(plane.groupSize)) {
        float* prices = cellPrices ? &(*cellPrices)[first / size_t(plane.groupSize) * 16 * kMaxPlanes] : nullptr;
        quantiseGroup(plane, first, plane.groupSize, lambda, levels.data(), prices);
        for (int i = 0; i < plane.groupSize; ++i) {
            const int level = levels[size_t(i)];
            coded[plane.place[first + size_t(i)]] = int16_t(plane.negative[first + size_t(i)] ? -level : level);
        }
    }
    return coded;
}

}  // namespace encoder
