#pragma once
// A plain RGB picture as the demo generators paint it: rows from the top,
// three bytes per pixel (red, green, blue).
#include <cstddef>
#include <cstdint>
#include <vector>

struct Color {
    double r = 0, g = 0, b = 0;
};

inline Color mix(const Color& a, const Color& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Color scale(const Color& c, double f) { return {c.r * f, c.g * f, c.b * f}; }
inline Color add(const Color& a, const Color& b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

struct DemoImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    DemoImage() = default;
    DemoImage(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3, 0) {}

    // Colour channels are 0..1; values outside are clamped.
    void set(int x, int y, const Color& c);
    Color get(int x, int y) const;
};
