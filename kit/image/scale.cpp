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
    // The taps flattened, with their source indices clamped to the picture
    // once here rather than at every use (the sums are the same).
    struct Flat {
        std::vector<int> start;  // first entry of each output sample
        std::vector<int> index;  // clamped source index of each entry
        std::vector<double> weight;
    };
    auto flatten = [](const std::vector<Tap>& taps, int limit) {
        Flat flat;
        for (const Tap& tap : taps) {
            flat.start.push_back(int(flat.index.size()));
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                flat.index.push_back(std::min(std::max(tap.first + int(k), 0), limit - 1));
                flat.weight.push_back(tap.weights[k]);
            }
        }
        flat.start.push_back(int(flat.index.size()));
        return flat;
    };
    const Flat across = flatten(columns, source.width);
    const Flat down = flatten(rows, source.height);
    // Only the source rows that some output row reads need the horizontal pass.
    const int firstRow = *std::min_element(down.index.begin(), down.index.end());
    const int lastRow = *std::max_element(down.index.begin(), down.index.end());
    // Horizontal pass into a floating-point intermediate of outWidth x those rows.
    std::vector<double> middle(size_t(outWidth) * size_t(lastRow - firstRow + 1) * 3);
    for (int sy = firstRow; sy <= lastRow; ++sy) {
        const uint8_t* line = source.pixel(0, sy);
        double* m = &middle[size_t(sy - firstRow) * size_t(outWidth) * 3];
        for (int ox = 0; ox < outWidth; ++ox) {
            double sum0 = 0, sum1 = 0, sum2 = 0;
            for (int e = across.start[size_t(ox)]; e < across.start[size_t(ox) + 1]; ++e) {
                const uint8_t* p = line + size_t(across.index[size_t(e)]) * 3;
                const double w = across.weight[size_t(e)];
                sum0 += w * p[0];
                sum1 += w * p[1];
                sum2 += w * p[2];
            }
            m[3 * ox] = sum0;
            m[3 * ox + 1] = sum1;
            m[3 * ox + 2] = sum2;
        }
    }
    RgbImage out(outWidth, outHeight);
    std::vector<double> sums(size_t(outWidth) * 3);
    for (int oy = 0; oy < outHeight; ++oy) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (int e = down.start[size_t(oy)]; e < down.start[size_t(oy) + 1]; ++e) {
            const double w = down.weight[size_t(e)];
            const double* m = &middle[size_t(down.index[size_t(e)] - firstRow) * size_t(outWidth) * 3];
            for (size_t i = 0; i < sums.size(); ++i) sums[i] += w * m[i];
        }
        uint8_t* p = out.pixel(0, oy);
        for (size_t i = 0; i < sums.size(); ++i) p[i] = toByte(sums[i]);
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
