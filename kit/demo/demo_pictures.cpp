#include "kit/demo/demo_pictures.h"

namespace {
struct PictureEntry {
    const char* name;
    void (*paint)(DemoImage&);
};

const PictureEntry pictures[] = {
    {"dawn_ridges", paint_dawn_ridges},
    {"sunset_sea", paint_sunset_sea},
    {"mandelbrot", paint_mandelbrot},
    {"aurora", paint_aurora},
    {"misty_mountains", paint_misty_mountains},
    {"star_field", paint_star_field},
    {"julia", paint_julia},
    {"dunes", paint_dunes},
};
}  // namespace

int demo_picture_count() { return int(sizeof(pictures) / sizeof(pictures[0])); }

const char* demo_picture_name(int index) {
    if (index < 0 || index >= demo_picture_count()) return nullptr;
    return pictures[index].name;
}

DemoImage make_demo_picture(int index, int width, int height) {
    DemoImage image(width, height);
    if (index >= 0 && index < demo_picture_count()) pictures[index].paint(image);
    return image;
}
