#include "kit/demo/sky.h"

#include <cmath>

#include "kit/demo/noise.h"

Color gradient(const GradientStop* stops, int count, double t) {
    if (t <= stops[0].at) return stops[0].color;
    for (int i = 1; i < count; ++i) {
        if (t <= stops[i].at) {
            double span = stops[i].at - stops[i - 1].at;
            double f = span > 0 ? (t - stops[i - 1].at) / span : 1;
            return mix(stops[i - 1].color, stops[i].color, smoothstep(0, 1, f));
        }
    }
    return stops[count - 1].color;
}

Color sun_glow(double x, double y, double cx, double cy, double radius, const Color& color) {
    double dx = x - cx, dy = y - cy;
    double d = std::sqrt(dx * dx + dy * dy) / radius;
    double disc = smoothstep(1.08, 0.96, d);
    double halo = std::exp(-d * 1.6) * 0.6 + std::exp(-d * 0.35) * 0.25;
    return scale(color, disc + halo);
}

double star_at(int x, int y, double density, uint32_t seed) {
    double h = hash01(x, y, seed);
    if (h > density) return 0;
    double b = hash01(x, y, seed + 7);
    return 0.25 + 0.75 * b * b * b;
}
