#include <cmath>
#include <stdexcept>
#include <vector>

#include "kit/image/picture_metrics.h"

namespace {

const int kRadius = 5;  // 11 taps
const double kDeviation = 1.5;

std::vector<double> lumaOf(const RgbImage& image) {
    std::vector<double> luma(size_t(image.width) * size_t(image.height));
    for (size_t i = 0; i < luma.size(); ++i)
        luma[i] = 0.299 * image.rgb[3 * i] + 0.587 * image.rgb[3 * i + 1] + 0.114 * image.rgb[3 * i + 2];
    return luma;
}

// Gaussian-weighted local means of a plane, for the windows that lie inside
// it: (width - 10) x (height - 10) values.
std::vector<double> windowMeans(const std::vector<double>& plane, int width, int height, const double* taps) {
    const int outWidth = width - 2 * kRadius, outHeight = height - 2 * kRadius;
    std::vector<double> rows(size_t(outWidth) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0.0;
            for (int t = 0; t <= 2 * kRadius; ++t) sum += taps[t] * plane[size_t(y) * width + x + t];
            rows[size_t(y) * outWidth + x] = sum;
        }
    std::vector<double> out(size_t(outWidth) * size_t(outHeight));
    for (int y = 0; y < outHeight; ++y)
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0.0;
            for (int t = 0; t <= 2 * kRadius; ++t) sum += taps[t] * rows[size_t(y + t) * outWidth + x];
            out[size_t(y) * outWidth + x] = sum;
        }
    return out;
}

}  // namespace

double lumaSsim(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        throw std::invalid_argument("pictures to compare must have the same size");
    if (a.width <= 2 * kRadius || a.height <= 2 * kRadius)
        throw std::invalid_argument("pictures are too small for the SSIM window");
    double taps[2 * kRadius + 1], total = 0.0;
    for (int t = -kRadius; t <= kRadius; ++t) total += taps[t + kRadius] = std::exp(-t * t / (2 * kDeviation * kDeviation));
    for (double& tap : taps) tap /= total;
    const int w = a.width, h = a.height;
    const std::vector<double> x = lumaOf(a), y = lumaOf(b);
    std::vector<double> xx(x.size()), yy(x.size()), xy(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        xx[i] = x[i] * x[i];
        yy[i] = y[i] * y[i];
        xy[i] = x[i] * y[i];
    }
    const std::vector<double> mx = windowMeans(x, w, h, taps), my = windowMeans(y, w, h, taps);
    const std::vector<double> mxx = windowMeans(xx, w, h, taps), myy = windowMeans(yy, w, h, taps);
    const std::vector<double> mxy = windowMeans(xy, w, h, taps);
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double sum = 0.0;
    for (size_t i = 0; i < mx.size(); ++i) {
        const double vx = mxx[i] - mx[i] * mx[i], vy = myy[i] - my[i] * my[i], cxy = mxy[i] - mx[i] * my[i];
        sum += ((2 * mx[i] * my[i] + c1) * (2 * cxy + c2)) /
               ((mx[i] * mx[i] + my[i] * my[i] + c1) * (vx + vy + c2));
    }
    return sum / double(mx.size());
}
