#include "kit/demo/demo_image.h"

#include <cmath>

static uint8_t to_byte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return uint8_t(std::lround(v * 255.0));
}

void DemoImage::set(int x, int y, const Color& c) {
    uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    p[0] = to_byte(c.r);
    p[1] = to_byte(c.g);
    p[2] = to_byte(c.b);
}

Color DemoImage::get(int x, int y) const {
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
}
