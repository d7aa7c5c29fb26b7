// Aurora over a still lake: green and violet curtains above snowy hills,
// stars behind them, and the whole scene mirrored in the dark water.
#include <cmath>
#include <vector>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

namespace {

const double shore = 0.78;

Color night_sky(int x, int y, int h) {
    double u = double(x) / h, v = double(y) / h;
    Color c = mix(Color{0.01, 0.02, 0.07}, Color{0.03, 0.10, 0.16}, v / shore);
    c = add(c, scale(Color{0.9, 0.95, 1.0}, star_at(x, y, 0.004, 5)));
    // Curtains: a wavy lower edge from which vertical rays rise and fade.
    double edge = 0.52 + 0.09 * std::sin(u * 2.3 + 0.8) + 0.06 * (fbm(u * 1.2, 0.3, 3, 8) - 0.5);
    double above = edge - v;
    double rays = fbm(u * 28.0 + std::sin(v * 6) * 0.3, v * 0.8, 4, 9);
    double lower = smoothstep(-0.015, 0.02, above);
    double rise = std::exp(-std::max(0.0, above) * 4.5);
    double curtain = lower * rise * (0.25 + 0.95 * smoothstep(0.35, 0.75, rays));
    Color green{0.20, 1.0, 0.50}, violet{0.70, 0.25, 0.90};
    Color aurora = mix(green, violet, smoothstep(0.08, 0.30, above));
    return add(c, scale(aurora, curtain));
}

}  // namespace

void paint_aurora(DemoImage& image) {
    const int w = image.width, h = image.height;
    std::vector<double> hills(w);
    for (int x = 0; x < w; ++x) {
        double u = double(x) / h;
        hills[x] = (0.68 - 0.22 * smoothstep(0.3, 0.7, fbm(u * 1.6, 2.0, 6, 17))) * h;
    }
    auto scene = [&](int x, int y) {
        if (y < hills[x]) return night_sky(x, y, h);
        double u = double(x) / h, v = double(y) / h;
        double shade = 0.45 + 0.7 * (fbm(u * 6, v * 18, 5, 19) - 0.5) + 0.3 * std::exp(-(y - hills[x]) / (0.08 * h));
        double rim = std::exp(-(y - hills[x]) / (0.03 * h));  // aurora light on the slopes
        return add(scale(Color{0.30, 0.38, 0.50}, shade), scale(Color{0.05, 0.35, 0.18}, rim * 0.6));
    };
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            Color c;
            if (v < shore) {
                c = scene(x, y);
            } else {
                double ripple = (fbm(u * 3, v * 60, 3, 23) - 0.5) * 0.02 * h;
                int my = int(2 * shore * h - y + ripple);
                if (my < 0) my = 0;
                if (my >= h) my = h - 1;
                c = add(scale(scene(x, my), 0.6), Color{0.0, 0.015, 0.03});
            }
            image.set(x, y, c);
        }
    }
}
