#include "kit/encoder/pixel_refinement.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "codec/dequantise.h"
#include "codec/synthesis.h"
#include "kit/encoder/analysis_transform.h"
#include "kit/encoder/rate_distortion.h"

namespace encoder {

namespace {

// A zero coefficient below this many steps cannot win the 1.5 steps of the
// first level back from its neighbours; it is not visited.
const float kSmallestCandidate = 0.5f;

// The synthesis functions along one direction of a plane of n lines: first
// those of the n line positions, then those of the second-level frequencies
// (eight per region), each scaled by the square root of the decoder's 2.0 so
// that the product of a row and a column function carries it once.
class LineFunctions {
public:
    explicit LineFunctions(int n) {
        std::vector<std::vector<double>> lines(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
            lines[size_t(k)].assign(size_t(n), 0.0);
            lines[size_t(k)][size_t(k)] = 1.0;
            synthesizeLineExact(lines[size_t(k)].data(), n);
            add(lines[size_t(k)]);
        }
        const double pi = std::acos(-1.0);
        for (int region = 0; region < n / 64; ++region) {
            for (int frequency = 0; frequency < 8; ++frequency) {
                const double scale = (frequency == 0 ? std::sqrt(1.0 / 8.0) : 0.5) * std::sqrt(2.0);
                std::vector<double> sum(size_t(n), 0.0);
                for (int p = 0; p < 8; ++p) {
                    const double factor = scale * std::cos((2 * p + 1) * frequency * pi / 16.0);
                    const std::vector<double>& line = lines[size_t(64 * region + 8 * p)];
                    for (int i = 0; i < n; ++i) sum[size_t(i)] += factor * line[size_t(i)];
                }
                add(sum);
            }
        }
    }

    int start(int index) const { return start_[size_t(index)]; }
    int length(int index) const { return length_[size_t(index)]; }
    const double* values(int index) const { return &values_[offset_[size_t(index)]]; }
    double energy(int index) const { return energy_[size_t(index)]; }

private:
    void add(const std::vector<double>& function) {
        int first = 0, last = int(function.size()) - 1;
        while (first < last && std::fabs(function[size_t(first)]) < 1e-12) ++first;
        while (last > first && std::fabs(function[size_t(last)]) < 1e-12) --last;
        start_.push_back(first);
        length_.push_back(last - first + 1);
        offset_.push_back(values_.size());
        double energy = 0.0;
        for (int i = first; i <= last; ++i) {
            values_.push_back(function[size_t(i)]);
            energy += function[size_t(i)] * function[size_t(i)];
        }
        energy_.push_back(energy);
    }

    std::vector<int> start_, length_;
    std::vector<size_t> offset_;
    std::vector<double> values_, energy_;
};

inline int reconstruction(int level, int step) { return level ? level * step + (step >> 1) : 0; }

}  // namespace

void refineAgainstPixels(const RdoPlane& plane, const std::vector<double>& samples, int quality, double lambda,
                         const std::vector<float>& cellPrices, std::vector<int16_t>& coded, int sweeps) {
    const int w = plane.width, h = plane.height;
    if (samples.size() != size_t(w) * size_t(h) || coded.size() != samples.size())
        throw std::invalid_argument("plane sizes do not match");
    const LineFunctions across(w), down(h);
    // The reconstruction error of the whole plane, from the decoder itself.
    std::vector<int16_t> blocks(coded.size());
    dequantisePlaneInto(coded.data(), blocks.data(), w, h, quality);
    if (!synthesizePlane(blocks.data(), w, h)) throw std::runtime_error("out of memory");
    std::vector<double> error(samples.size());
    for (size_t i = 0; i < error.size(); ++i) error[i] = double(blocks[i]) - samples[i];
    std::vector<double> rowSums(static_cast<size_t>(h), 0.0);

    const int cellSize = plane.groupSize / 16;
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        for (size_t k = 0; k < plane.place.size(); ++k) {
            const int signedLevel = coded[plane.place[k]];
            const int level = std::abs(signedLevel);
            if (level == 0 && plane.magnitude[k] < kSmallestCandidate) continue;
            const int rowIndex = plane.row[k], columnIndex = plane.column[k];
            const int y0 = down.start(rowIndex), rows = down.length(rowIndex);
            const int x0 = across.start(columnIndex), columns = across.length(columnIndex);
            const double* downValues = down.values(rowIndex);
            const double* acrossValues = across.values(columnIndex);
            // Correlation of the coefficient's synthesis function with the
            // current error.
            double correlation = 0.0;
            for (int r = 0; r < rows; ++r) {
                const double* line = &error[size_t(y0 + r) * w + x0];
                double sum = 0.0;
                for (int c = 0; c < columns; ++c) sum += acrossValues[c] * line[c];
                rowSums[size_t(r)] = sum;
                correlation += downValues[r] * sum;
            }
            const double energy = down.energy(rowIndex) * across.energy(columnIndex);
            const double weight = plane.planeWeight;
            const float* prices = &cellPrices[k / size_t(cellSize) * kPricePlanes];
            const int sign = signedLevel < 0 || (signedLevel == 0 && plane.negative[k]) ? -1 : 1;
            const int step = plane.step[k];
            const double current = sign * reconstruction(level, step);
            const double currentBits = level ? prices[31 - __builtin_clz(unsigned(level))] : 0.0;
            int best = level;
            double bestChange = 0.0, bestDelta = 0.0;
            for (int candidate : {level - 1, level + 1}) {
                if (candidate < 0 || candidate > plane.limit[k]) continue;
                const double delta = sign * reconstruction(candidate, step) - current;
                const double bits = candidate ? prices[31 - __builtin_clz(unsigned(candidate))] : 0.0;
                const double change =
                    weight * (2.0 * delta * correlation + delta * delta * energy) + lambda * (bits - currentBits);
                if (change < bestChange) {
                    bestChange = change;
                    best = candidate;
                    bestDelta = delta;
                }
            }
            if (best == level) continue;
            coded[plane.place[k]] = int16_t(sign * best);
            for (int r = 0; r < rows; ++r) {
                double* line = &error[size_t(y0 + r) * w + x0];
                const double factor = bestDelta * downValues[r];
                for (int c = 0; c < columns; ++c) line[c] += factor * acrossValues[c];
            }
        }
    }
}

}  // namespace encoder
