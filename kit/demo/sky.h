#pragma once
// Pieces shared by the landscape painters: sky gradients, sun glow, stars.
#include <cstdint>

#include "kit/demo/demo_image.h"

// Gradient through colour stops at positions 0..1 (stops sorted by position).
struct GradientStop {
    double at;
    Color color;
};
Color gradient(const GradientStop* stops, int count, double t);

// Adds a soft glow around (cx, cy) in picture units (x and y both scaled by
// the picture height so the glow is round).
Color sun_glow(double x, double y, double cx, double cy, double radius, const Color& color);

// Scattered stars: the brightness of a star covering pixel (x, y), 0 if none.
double star_at(int x, int y, double density, uint32_t seed);
