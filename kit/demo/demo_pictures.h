#pragma once
// The demo show's pictures, painted procedurally: landscapes, sea, skies and
// fractals. Every picture is deterministic and works at any size; the show
// uses 1024x512.
#include "kit/demo/demo_image.h"

int demo_picture_count();
// A short identifier such as "dawn_ridges".
const char* demo_picture_name(int index);
DemoImage make_demo_picture(int index, int width, int height);

// The painters, one per picture (kit/demo/paint_*.cpp).
void paint_dawn_ridges(DemoImage& image);
void paint_sunset_sea(DemoImage& image);
void paint_mandelbrot(DemoImage& image);
void paint_aurora(DemoImage& image);
void paint_misty_mountains(DemoImage& image);
void paint_star_field(DemoImage& image);
void paint_julia(DemoImage& image);
void paint_dunes(DemoImage& image);
