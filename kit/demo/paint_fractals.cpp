// The two fractal pictures: a Mandelbrot detail (seahorse valley) and a
// Julia set, both with smooth (continuous escape time) colouring.
#include <cmath>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/sky.h"

namespace {

// Escape time with a fractional part, or -1 for points inside the set.
double smooth_escape(double zr, double zi, double cr, double ci, int limit) {
    for (int i = 0; i < limit; ++i) {
        double rr = zr * zr, ii = zi * zi;
        if (rr + ii > 256.0) return i + 1 - std::log2(std::log2(rr + ii) * 0.5);
        zi = 2 * zr * zi + ci;
        zr = rr - ii + cr;
    }
    return -1;
}

Color palette(double t, const GradientStop* stops, int count) {
    double f = t - std::floor(t);
    return gradient(stops, count, f);
}

}  // namespace

void paint_mandelbrot(DemoImage& image) {
    const int w = image.width, h = image.height;
    const double cx = -0.7437, cy = 0.1318, span = 0.0055;  // height of the view
    const GradientStop stops[] = {
        {0.00, {0.02, 0.02, 0.10}}, {0.20, {0.10, 0.25, 0.60}}, {0.45, {0.95, 0.95, 0.85}},
        {0.65, {1.00, 0.65, 0.10}}, {0.85, {0.45, 0.05, 0.15}}, {1.00, {0.02, 0.02, 0.10}}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double re = cx + (x - w * 0.5) / h * span;
            double im = cy + (y - h * 0.5) / h * span;
            double n = smooth_escape(0, 0, re, im, 400);
            Color c = n < 0 ? Color{0.01, 0.01, 0.03} : palette(std::sqrt(n) * 0.35, stops, 6);
            image.set(x, y, c);
        }
    }
}

void paint_julia(DemoImage& image) {
    const int w = image.width, h = image.height;
    const double cr = -0.8, ci = 0.156, span = 1.6;
    const GradientStop stops[] = {
        {0.00, {0.05, 0.00, 0.10}}, {0.25, {0.55, 0.05, 0.45}}, {0.50, {1.00, 0.55, 0.30}},
        {0.70, {1.00, 0.95, 0.70}}, {0.85, {0.20, 0.60, 0.65}}, {1.00, {0.05, 0.00, 0.10}}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double zr = (x - w * 0.5) / h * span;
            double zi = (y - h * 0.5) / h * span;
            double n = smooth_escape(zr, zi, cr, ci, 300);
            Color c = n < 0 ? Color{0.0, 0.0, 0.0} : palette(std::log(n + 1) * 0.45, stops, 6);
            image.set(x, y, c);
        }
    }
}
