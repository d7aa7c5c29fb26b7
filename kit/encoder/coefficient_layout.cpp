#include "kit/encoder/coefficient_layout.h"

#include <cmath>
#include <cstdlib>

#include "kit/encoder/picture_encoder.h"

namespace encoder {

namespace {

// Level m, block size b and position w within the quadrant of index i >= 1.
struct QuadrantPosition {
    int b, quadrant, w;
};

QuadrantPosition quadrantOf(int i) {
    int m = 0;
    while (i >= (1 << (2 * (m + 1)))) ++m;
    const int b = 1 << m;
    const int r = i - (1 << (2 * m));
    return {b, r / (b * b), r % (b * b)};
}

// Largest level whose reconstruction still fits the decoder's 16-bit planes.
int largestLevel(int step) {
    const int fromRange = (32767 - (step >> 1)) / step;
    return fromRange < 32767 ? fromRange : 32767;
}

}  // namespace

int quantiserStep(int u, int v, int quality) {
    const double s = double(0.14285714924335479736328125f);
    return int(std::trunc(std::pow(3.0, v * s) * std::pow(3.0, u * s) * quality));
}

int subbandColumn(int i) {
    if (i == 0) return 0;
    const QuadrantPosition p = quadrantOf(i);
    return p.quadrant == 1 ? p.w % p.b : p.b + p.w % p.b;
}

int subbandRow(int i) {
    if (i == 0) return 0;
    const QuadrantPosition p = quadrantOf(i);
    return p.quadrant == 0 ? p.w / p.b : p.b + p.w / p.b;
}

int dequantise(int x, int step) {
    if (x == 0) return 0;
    return x > 0 ? x * step + (step >> 1) : x * step - (step >> 1);
}

int quantise(double coefficient, int step, double deadZone, double roundingBias) {
    const double magnitude = std::fabs(coefficient) / step;
    if (!(magnitude >= deadZone)) return 0;  // also for NaN
    const int limit = largestLevel(step);
    const double rounded = std::floor(magnitude - 0.5 + roundingBias);
    int level = rounded >= limit ? limit : int(rounded);
    if (level < 1) level = 1;
    return coefficient < 0 ? -level : level;
}

double deadZoneOf(int i, const EncoderOptions& options) {
    if (i == 0) return options.averageDeadZone;
    const int frequency = i % 8 + i / 8;  // 1 .. 14
    return options.lowDeadZone + (options.highDeadZone - options.lowDeadZone) * (frequency - 1) / 13.0;
}

std::vector<int16_t> quantisePlane(const std::vector<double>& blockPlane, int width, int height, int quality,
                                   const EncoderOptions& options) {
    std::vector<int16_t> coded(size_t(width) * size_t(height), 0);
    int steps[64];
    double deadZones[64];
    for (int i = 0; i < 64; ++i) {
        steps[i] = quantiserStep(i % 8, i / 8, quality);
        deadZones[i] = deadZoneOf(i, options);
    }
    const int subbandWidth = width / 8, subbandHeight = height / 8;
    const int areaWidth = width / 64, areaHeight = height / 64;
    int levels[64];
    for (int by = 0; by < height / 8; ++by) {
        for (int bx = 0; bx < width / 8; ++bx) {
            const double* block = &blockPlane[size_t(8) * by * width + size_t(8) * bx];
            int nonzero = 0;
            for (int i = 1; i < 64; ++i) {
                levels[i] = quantise(block[size_t(i / 8) * width + i % 8], steps[i], deadZones[i], options.roundingBias);
                if (levels[i]) ++nonzero;
            }
            if (nonzero <= options.sparseBlockLimit) {
                for (int i = 1; i < 64; ++i)
                    if (std::abs(levels[i]) == 1) levels[i] = 0;
            }
            for (int i = 1; i < 64; ++i) {
                const size_t row = size_t(by) + size_t(subbandRow(i)) * subbandHeight;
                const size_t column = size_t(bx) + size_t(subbandColumn(i)) * subbandWidth;
                coded[row * width + column] = int16_t(levels[i]);
            }
            // The block average holds second-level coefficient j of its region,
            // coded with step(0, 0) = quality.
            const int j = 8 * (by % 8) + (bx % 8);
            const size_t row = size_t(by / 8) + size_t(subbandRow(j)) * areaHeight;
            const size_t column = size_t(bx / 8) + size_t(subbandColumn(j)) * areaWidth;
            coded[row * width + column] = int16_t(quantise(block[0], quality, deadZones[0], options.roundingBias));
        }
    }
    return coded;
}

}  // namespace encoder
