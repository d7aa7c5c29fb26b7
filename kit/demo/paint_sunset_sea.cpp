// Sunset over a calm sea: a glowing sky with streaks of cloud, the sun on the
// horizon and its broken reflection on the waves.
#include <cmath>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

void paint_sunset_sea(DemoImage& image) {
    const int w = image.width, h = image.height;
    const double horizon = 0.62;
    const double sun_x = 0.5 * w / h, sun_y = horizon - 0.03;
    const GradientStop sky[] = {
        {0.00, {0.16, 0.10, 0.30}}, {0.30, {0.55, 0.20, 0.40}},
        {0.50, {0.98, 0.45, 0.25}}, {0.62, {1.00, 0.80, 0.45}}};
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            Color c;
            if (v < horizon) {
                c = gradient(sky, 4, v);
                double streak = fbm(u * 1.5, v * 18.0, 5, 21);
                double cloud = smoothstep(0.55, 0.75, streak) * smoothstep(0.05, 0.25, v) * smoothstep(0.6, 0.35, v);
                c = mix(c, Color{0.45, 0.16, 0.28}, cloud * 0.7);
                c = add(c, sun_glow(u, v, sun_x, sun_y, 0.045, Color{1.0, 0.78, 0.45}));
            } else {
                double depth = (v - horizon) / (1 - horizon);  // 0 at horizon
                // Waves get larger towards the viewer.
                double wave_scale = 1.0 / (0.05 + depth);
                double wave = fbm(u * 6.0, v * 70.0 * (0.4 + 1.0 / (1 + depth * 6)), 4, 33);
                Color water = mix(Color{0.60, 0.30, 0.32}, Color{0.05, 0.05, 0.14}, std::pow(depth, 0.6));
                Color mirrored = gradient(sky, 4, horizon - (v - horizon) * 0.6);
                c = mix(water, mirrored, 0.35 * (1 - depth));
                // The sun's path: a column that widens with depth, broken up by the waves.
                double dx = std::fabs(u - sun_x);
                double width = 0.04 + depth * 0.22;
                double column = std::exp(-dx * dx / (width * width)) * smoothstep(0.45, 0.75, wave);
                c = add(c, scale(Color{1.0, 0.75, 0.4}, column * (1.1 - depth * 0.6)));
                c = scale(c, 0.85 + 0.3 * (wave - 0.5) * std::min(1.0, wave_scale * 0.1));
            }
            image.set(x, y, c);
        }
    }
}
