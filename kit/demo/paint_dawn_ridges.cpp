// Dawn over layered mountain ridges: a warm sky, a rising sun, and five
// fractal ridge lines that fade into the haze with distance.
#include <cmath>
#include <vector>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

void paint_dawn_ridges(DemoImage& image) {
    const int w = image.width, h = image.height;
    const GradientStop sky[] = {
        {0.00, {0.10, 0.13, 0.32}}, {0.35, {0.42, 0.33, 0.55}},
        {0.60, {0.93, 0.55, 0.42}}, {0.75, {1.00, 0.80, 0.52}}};
    const Color haze{1.0, 0.78, 0.62};
    const int layers = 5;
    // Ridge height per column and layer, in picture rows.
    std::vector<double> ridge(size_t(w) * layers);
    for (int layer = 0; layer < layers; ++layer) {
        double base = 0.50 + layer * 0.09;
        double amp = 0.10 + layer * 0.035;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            double n = ridged(u * (1.2 + layer * 0.5) + layer * 5.1, layer * 3.7, 6, 11 + layer);
            ridge[size_t(layer) * w + x] = (base - amp * n) * h;
        }
    }
    const double sun_x = 0.62 * w / h, sun_y = 0.58;
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            Color c = gradient(sky, 4, v);
            // Thin cloud bands lit from below.
            double cloud = smoothstep(0.55, 0.8, fbm(u * 2.5, v * 9.0, 5, 3)) * smoothstep(0.55, 0.15, v);
            c = mix(c, Color{1.0, 0.62, 0.55}, cloud * 0.55);
            c = add(c, sun_glow(u, v, sun_x, sun_y, 0.05, Color{1.0, 0.85, 0.6}));
            for (int layer = 0; layer < layers; ++layer) {
                if (y >= ridge[size_t(layer) * w + x]) {
                    double depth = double(layer) / (layers - 1);  // 0 far, 1 near
                    Color rock = mix(Color{0.55, 0.36, 0.45}, Color{0.09, 0.06, 0.12}, depth);
                    double below = (y - ridge[size_t(layer) * w + x]) / h;
                    double mist = (1 - depth) * 0.55 + smoothstep(0.0, 0.12, below) * 0.25 * (1 - depth * 0.6);
                    double texture = fbm(u * 14, v * 14, 3, 40 + layer) - 0.5;
                    c = mix(scale(rock, 1 + texture * 0.35), haze, mist);
                }
            }
            image.set(x, y, c);
        }
    }
}
