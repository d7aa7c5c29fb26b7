#include "kit/image/scale.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

double lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9) return 1.0;
    if (x >= 3.0) return 0.0;
    const double px = kPi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

// Weights of one output sample: the source indices first .. first +
// weights.size() - 1 (clamped to the picture at use).
struct Tap {
    int first;
    std::vector<double> weights;
};

// Filter taps that map the source interval [start, start + length) onto
// count output samples. When shrinking, the kernel is widened by the
// scale so that it also removes frequencies the output cannot hold.
std::vector<Tap> makeTaps(double start, double length, int count) {
    const double scale = length / count;  // source pixels per output pixel
    const double support = 3.0 * std::max(1.0, scale);
    const double stretch = std::max(1.0, scale);
    std::vector<Tap> taps(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double centre = start + (i + 0.5) * scale;  // in source pixel units
        const int first = int(std::floor(centre - support));
        const int last = int(std::ceil(centre + support));
        Tap& tap = taps[size_t(i)];
        tap.first = first;
        double sum = 0.0;
        for (int s = first; s <= last; ++s) {
            const double w = lanczos3((s + 0.5 - centre) / stretch);
            tap.weights.push_back(w);
            sum += w;
        }
        for (double& w : tap.weights) w /= sum;
    }
    return taps;
}

uint8_t toByte(double v) {
    const double r = std::round(v);
    return uint8_t(r < 0.0 ? 0.0 : (r > 255.0 ? 255.0 : r));
}

}  // namespace

RgbImage resampleRegion(const RgbImage& source, double x, double y, double width, double height, int outWidth,
                        int outHeight) {
    if (source.width <= 0 || source.height <= 0 || outWidth <= 0 || outHeight <= 0 || width <= 0 || height <= 0)
        throw std::invalid_argument("cannot scale an empty picture");
    const std::vector<Tap> columns = makeTaps(x, width, outWidth);
    const std::vector<Tap> rows = makeTaps(y, height, outHeight);
    // Horizontal pass into a floating-point intermediate of outWidth x source.height.
    std::vector<double> middle(size_t(outWidth) * size_t(source.height) * 3);
    for (int sy = 0; sy < source.height; ++sy) {
        for (int ox = 0; ox < outWidth; ++ox) {
            const Tap& tap = columns[size_t(ox)];
            double sum[3] = {0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const int sx = std::min(std::max(tap.first + int(k), 0), source.width - 1);
                const uint8_t* p = source.pixel(sx, sy);
                for (int c = 0; c < 3; ++c) sum[c] += tap.weights[k] * p[c];
            }
            double* m = &middle[(size_t(sy) * outWidth + ox) * 3];
            for (int c = 0; c < 3; ++c) m[c] = sum[c];
        }
    }
    RgbImage out(outWidth, outHeight);
    for (int oy = 0; oy < outHeight; ++oy) {
        const Tap& tap = rows[size_t(oy)];
        for (int ox = 0; ox < outWidth; ++ox) {
            double sum[3] = {0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const int sy = std::min(std::max(tap.first + int(k), 0), source.height - 1);
                const double* m = &middle[(size_t(sy) * outWidth + ox) * 3];
                for (int c = 0; c < 3; ++c) sum[c] += tap.weights[k] * m[c];
            }
            uint8_t* p = out.pixel(ox, oy);
            for (int c = 0; c < 3; ++c) p[c] = toByte(sum[c]);
        }
    }
    return out;
}

RgbImage scaleAndCrop(const RgbImage& source, int outWidth, int outHeight) {
    if (outWidth <= 0 || outHeight <= 0) throw std::invalid_argument("target size must be positive");
    // The largest source rectangle of the target's aspect ratio, centred.
    double cropWidth = source.width, cropHeight = source.height;
    if (double(source.width) * outHeight > double(source.height) * outWidth)
        cropWidth = double(source.height) * outWidth / outHeight;
    else
        cropHeight = double(source.width) * outHeight / outWidth;
    if (source.width == outWidth && source.height == outHeight) return source;
    return resampleRegion(source, (source.width - cropWidth) / 2.0, (source.height - cropHeight) / 2.0, cropWidth,
                          cropHeight, outWidth, outHeight);
}
