// Mountains in morning mist: pale ranges stepping back into the fog, with a
// row of dark fir trees in front.
#include <cmath>
#include <vector>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

void paint_misty_mountains(DemoImage& image) {
    const int w = image.width, h = image.height;
    const int layers = 6;
    const GradientStop sky[] = {{0.0, {0.62, 0.72, 0.82}}, {0.6, {0.86, 0.89, 0.90}}, {1.0, {0.92, 0.92, 0.90}}};
    const Color fog{0.88, 0.90, 0.91};
    std::vector<double> top(size_t(w) * layers);
    for (int layer = 0; layer < layers; ++layer)
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            double n = ridged(u * (0.9 + layer * 0.45) + layer * 2.3, layer * 1.9, 7, 50 + layer);
            top[size_t(layer) * w + x] = (0.30 + layer * 0.085 - (0.20 - layer * 0.015) * n) * h;
        }
    // Trees: a dark band of triangular firs along the bottom.
    std::vector<double> trees(w, h);
    for (int t = 0; t < w / 9; ++t) {
        double cx = (t + hash01(t, 0, 61) * 0.8) * 9.0;
        double height = (0.10 + 0.12 * hash01(t, 1, 61)) * h;
        double base = h * (0.93 + 0.04 * hash01(t, 2, 61));
        double half = height * 0.28;
        for (int x = int(cx - half); x <= int(cx + half); ++x) {
            if (x < 0 || x >= w) continue;
            double tip = base - height * (1 - std::fabs(x - cx) / half);
            if (tip < trees[x]) trees[x] = tip;
        }
    }
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            Color c = gradient(sky, 3, v);
            c = add(c, sun_glow(u, v, 0.35 * w / h, 0.22, 0.03, Color{0.25, 0.22, 0.15}));
            for (int layer = 0; layer < layers; ++layer) {
                double t = top[size_t(layer) * w + x];
                if (y >= t) {
                    double near = double(layer) / (layers - 1);
                    Color rock = mix(Color{0.50, 0.58, 0.66}, Color{0.12, 0.18, 0.22}, near);
                    double light = fbm(u * 20, v * 20, 3, 70 + layer);
                    rock = scale(rock, 0.85 + 0.3 * light);
                    // Fog pools in the valleys: stronger further below each crest.
                    double below = (y - t) / h;
                    double pool = smoothstep(0.0, 0.10, below) * 0.6;
                    double drift = fbm(u * 3 + layer, v * 8, 4, 80 + layer);
                    double amount = clamp01((1 - near) * 0.45 + pool * (0.5 + drift * 0.6));
                    c = mix(rock, fog, amount);
                }
            }
            if (y >= trees[x]) c = mix(Color{0.04, 0.08, 0.07}, fog, 0.08);
            image.set(x, y, c);
        }
    }
}
