#include "kit/encoder/colour_planes.h"

namespace encoder {

ColourPlanes toColourPlanes(const RgbImage& image) {
    const size_t count = size_t(image.width) * size_t(image.height);
    ColourPlanes planes;
    planes.luma.resize(count);
    planes.orange.resize(count);
    planes.green.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const int red = image.rgb[3 * i] - 128;
        const int green = image.rgb[3 * i + 1] - 128;
        const int blue = image.rgb[3 * i + 2] - 128;
        // Lifting steps that the decoder's arithmetic shifts undo exactly.
        const int co = red - blue;
        const int t = blue + (co >> 1);
        const int cg = green - t;
        const int y = t + (cg >> 1);
        planes.luma[i] = 4.0 * y + 2.0;
        planes.orange[i] = 4.0 * co + 2.0;
        planes.green[i] = 4.0 * cg + 2.0;
    }
    return planes;
}

}  // namespace encoder
