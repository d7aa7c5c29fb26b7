#pragma once
// Deterministic procedural noise for the demo pictures: hashed lattice value
// noise, its fractal sum, and a hashed random number for scattering things.
#include <cstdint>

// A pseudo-random value in [0, 1) for the integer lattice point (x, y).
double hash01(int32_t x, int32_t y, uint32_t seed);

// Smoothly interpolated value noise in [0, 1).
double value_noise(double x, double y, uint32_t seed);

// Fractal sum of value noise (octaves halve in amplitude, double in
// frequency), normalised to [0, 1).
double fbm(double x, double y, int octaves, uint32_t seed);

// Ridged fractal noise, sharp crests, in [0, 1].
double ridged(double x, double y, int octaves, uint32_t seed);

double smoothstep(double edge0, double edge1, double x);
double clamp01(double x);
