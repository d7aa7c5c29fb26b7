// A star field with the band of the galaxy: coloured nebula clouds, dark dust
// lanes, and stars of many sizes with a soft halo around the brightest.
#include <cmath>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/noise.h"
#include "kit/demo/sky.h"

void paint_star_field(DemoImage& image) {
    const int w = image.width, h = image.height;
    for (int y = 0; y < h; ++y) {
        double v = double(y) / h;
        for (int x = 0; x < w; ++x) {
            double u = double(x) / h;
            // Distance from the galactic band, a tilted gentle curve.
            double centre = 0.75 - 0.45 * (u / (double(w) / h)) + 0.05 * std::sin(u * 3);
            double d = (v - centre) / 0.22;
            double band = std::exp(-d * d);
            double cloud = fbm(u * 3.0, v * 3.0, 6, 90);
            double dust = smoothstep(0.5, 0.7, fbm(u * 5.0 + 3, v * 5.0, 5, 91));
            Color c{0.005, 0.008, 0.025};
            Color glow = mix(Color{0.35, 0.25, 0.55}, Color{0.95, 0.75, 0.55}, smoothstep(0.4, 0.8, cloud));
            c = add(c, scale(glow, band * cloud * 0.75 * (1 - 0.8 * dust)));
            double rose = smoothstep(0.6, 0.85, fbm(u * 2 + 9, v * 2, 5, 92)) * band;
            c = add(c, scale(Color{0.55, 0.10, 0.25}, rose * 0.5));
            double density = 0.003 + 0.02 * band;
            double star = star_at(x, y, density, 93);
            if (star > 0) {
                double hue = hash01(x, y, 94);
                Color tint = hue < 0.3 ? Color{1.0, 0.8, 0.6} : (hue < 0.6 ? Color{0.8, 0.88, 1.0} : Color{1, 1, 1});
                c = add(c, scale(tint, star));
            }
            image.set(x, y, c);
        }
    }
    // Bright stars with halos and four-pointed glints.
    for (int s = 0; s < 40; ++s) {
        int sx = int(hash01(s, 0, 95) * w), sy = int(hash01(s, 1, 95) * h);
        double radius = 2 + 5 * hash01(s, 2, 95);
        int r = int(radius * 4);
        for (int y = sy - r; y <= sy + r; ++y)
            for (int x = sx - r; x <= sx + r; ++x) {
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                double dx = x - sx, dy = y - sy;
                double dd = std::sqrt(dx * dx + dy * dy) / radius;
                double halo = std::exp(-dd * 2.2);
                double glint = (std::exp(-std::fabs(dx) * 1.2) + std::exp(-std::fabs(dy) * 1.2)) * std::exp(-dd * 0.6) * 0.35;
                image.set(x, y, add(image.get(x, y), scale(Color{0.9, 0.93, 1.0}, halo + glint)));
            }
    }
}
