#include "kit/image/picture_metrics.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

void checkSameSize(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty())
        throw std::invalid_argument("pictures to compare must have the same, nonzero size");
}

}  // namespace

double psnrFromMse(double mse) {
    if (mse <= 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

double lumaPsnr(const RgbImage& a, const RgbImage& b) {
    checkSameSize(a, b);
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        const double ya = 0.299 * a.rgb[i] + 0.587 * a.rgb[i + 1] + 0.114 * a.rgb[i + 2];
        const double yb = 0.299 * b.rgb[i] + 0.587 * b.rgb[i + 1] + 0.114 * b.rgb[i + 2];
        sum += (ya - yb) * (ya - yb);
    }
    return psnrFromMse(sum / double(a.rgb.size() / 3));
}

double rgbPsnr(const RgbImage& a, const RgbImage& b) {
    checkSameSize(a, b);
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = double(a.rgb[i]) - double(b.rgb[i]);
        sum += d * d;
    }
    return psnrFromMse(sum / double(a.rgb.size()));
}
