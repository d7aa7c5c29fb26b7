// Desert dunes in the last light: rows of sinuous crests with a lit and a
// shaded flank, wind ripples in the sand, and a crescent moon in a violet sky.
#include <cmath>
#include <vector>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

void paint_dunes(DemoImage& image) {
    const int w = image.width, h = image.height;
    const double horizon = 0.55;
    const int rows = 6;
    const GradientStop sky[] = {{0.0, {0.20, 0.16, 0.38}}, {0.30, {0.62, 0.40, 0.55}}, {0.55, {1.0, 0.72, 0.45}}};
    // Crest line and crest position of each row of dunes, per column.
    std::vector<double> crest(size_t(w) * rows), peak_x(size_t(w) * rows);
    for (int r = 0; r < rows; ++r) {
        double amp = 0.03 + 0.03 * r;
        double base = horizon + 0.02 + 0.075 * r;
        double period = 0.35 + 0.25 * r;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            double phase = u / period + 0.6 * fbm(u * 0.8, r * 3.1, 4, 101 + r) + r * 0.37;
            double s = phase - std::floor(phase);
            // Gentle windward rise, steep lee face.
            double p = s < 0.7 ? s / 0.7 : (1 - s) / 0.3;
            p = p * p * (3 - 2 * p);
            crest[size_t(r) * w + x] = (base - amp * p) * h;
            // How much of the lee face, turned from the light, this column shows.
            peak_x[size_t(r) * w + x] = smoothstep(0.66, 0.74, s) * (1 - smoothstep(0.9, 1.0, s));
        }
    }
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            Color c = gradient(sky, 3, v);
            double mx = 1.55, my = 0.15, radius = 0.035;
            double d1 = std::hypot(u - mx, v - my) / radius;
            double d2 = std::hypot(u - mx - 0.014, v - my + 0.006) / radius;
            double moon = smoothstep(1.05, 0.95, d1) * smoothstep(0.9, 1.0, d2);
            c = mix(c, Color{1.0, 0.97, 0.88}, moon);
            c = add(c, scale(Color{0.9, 0.7, 0.55}, std::exp(-d1 * 0.5) * 0.08));
            for (int r = 0; r < rows; ++r) {
                double top = crest[size_t(r) * w + x];
                if (y < top) continue;
                double near = double(r) / (rows - 1);
                double below = (y - top) / h;
                double lee = peak_x[size_t(r) * w + x] * (0.35 + 0.65 * std::exp(-below * 12));
                Color sand = mix(Color{1.0, 0.66, 0.38}, Color{0.55, 0.27, 0.30}, lee);
                sand = scale(sand, 1.0 - std::min(0.35, below * 2.0));
                double ripple = 0.5 + 0.5 * std::sin(u * (120 + 80 * near) + v * 60 + fbm(u * 6, v * 6, 3, 110) * 9);
                sand = scale(sand, 0.94 + 0.06 * ripple * near);
                c = mix(sand, Color{1.0, 0.72, 0.50}, (1 - near) * 0.55);
            }
            image.set(x, y, c);
        }
    }
}
