#include "kit/demo/noise.h"

#include <cmath>

double hash01(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h >> 8) * (1.0 / 16777216.0);
}

static double fade(double t) { return t * t * (3 - 2 * t); }

double value_noise(double x, double y, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int32_t ix = int32_t(fx), iy = int32_t(fy);
    double tx = fade(x - fx), ty = fade(y - fy);
    double a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    double c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    double top = a + (b - a) * tx;
    double bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double fbm(double x, double y, int octaves, uint32_t seed) {
    double sum = 0, amplitude = 0.5, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * value_noise(x, y, seed + uint32_t(i) * 101u);
        total += amplitude;
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 9.7;
        amplitude *= 0.5;
    }
    return sum / total;
}

double ridged(double x, double y, int octaves, uint32_t seed) {
    double sum = 0, amplitude = 0.5, total = 0, weight = 1;
    for (int i = 0; i < octaves; ++i) {
        double n = 1 - std::fabs(value_noise(x, y, seed + uint32_t(i) * 131u) * 2 - 1);
        n *= n * weight;
        weight = clamp01(n * 1.5);
        sum += amplitude * n;
        total += amplitude;
        x = x * 2.1 + 3.3;
        y = y * 2.1 + 7.9;
        amplitude *= 0.5;
    }
    return sum / total;
}

double clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

double smoothstep(double edge0, double edge1, double x) {
    double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}
