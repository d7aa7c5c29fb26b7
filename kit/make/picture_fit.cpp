#include "kit/make/picture_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "kit/image/scale.h"

namespace {

// The blurred backdrop is made small, where a blur is cheap, and enlarged.
constexpr int kBackdropWidth = 128;
constexpr int kBackdropHeight = 64;
constexpr double kBackdropBrightness = 0.45;

// One box blur pass of the given radius along rows (horizontal) or columns,
// with the edge pixels repeated.
void boxBlur(RgbImage& image, int radius, bool horizontal) {
    const int length = horizontal ? image.width : image.height;
    const int lines = horizontal ? image.height : image.width;
    std::vector<int> line(size_t(length) * 3);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) { return horizontal ? image.pixel(i, l) : image.pixel(l, i); };
        for (int i = 0; i < length; ++i)
            for (int c = 0; c < 3; ++c) line[size_t(i) * 3 + c] = at(i)[c];
        const int window = 2 * radius + 1;
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int k = -radius; k <= radius; ++k) sum += line[size_t(std::clamp(k, 0, length - 1)) * 3 + c];
            for (int i = 0; i < length; ++i) {
                at(i)[c] = uint8_t((sum + window / 2) / window);
                sum += line[size_t(std::min(i + radius + 1, length - 1)) * 3 + c];
                sum -= line[size_t(std::max(i - radius, 0)) * 3 + c];
            }
        }
    }
}

// Bilinear enlargement (the backdrop is smooth, so nothing finer is needed).
RgbImage enlarge(const RgbImage& small, int width, int height) {
    RgbImage out(width, height);
    for (int y = 0; y < height; ++y) {
        const double sy = std::clamp((y + 0.5) * small.height / height - 0.5, 0.0, double(small.height - 1));
        const int y0 = int(sy), y1 = std::min(y0 + 1, small.height - 1);
        const double fy = sy - y0;
        for (int x = 0; x < width; ++x) {
            const double sx = std::clamp((x + 0.5) * small.width / width - 0.5, 0.0, double(small.width - 1));
            const int x0 = int(sx), x1 = std::min(x0 + 1, small.width - 1);
            const double fx = sx - x0;
            uint8_t* p = out.pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                const double top = small.pixel(x0, y0)[c] * (1 - fx) + small.pixel(x1, y0)[c] * fx;
                const double bottom = small.pixel(x0, y1)[c] * (1 - fx) + small.pixel(x1, y1)[c] * fx;
                p[c] = uint8_t(std::lround(top * (1 - fy) + bottom * fy));
            }
        }
    }
    return out;
}

RgbImage fitBlur(const RgbImage& source) {
    RgbImage backdrop = scaleAndCrop(source, kBackdropWidth, kBackdropHeight);
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(backdrop, 4, true);
        boxBlur(backdrop, 4, false);
    }
    for (uint8_t& value : backdrop.rgb) value = uint8_t(std::lround(value * kBackdropBrightness));
    RgbImage frame = enlarge(backdrop, kShowPictureWidth, kShowPictureHeight);

    // The whole picture, as large as the frame allows, centred.
    const double scale = std::min(double(kShowPictureWidth) / source.width, double(kShowPictureHeight) / source.height);
    const int width = std::clamp(int(std::lround(source.width * scale)), 1, kShowPictureWidth);
    const int height = std::clamp(int(std::lround(source.height * scale)), 1, kShowPictureHeight);
    const RgbImage picture = resampleRegion(source, 0, 0, source.width, source.height, width, height);
    const int left = (kShowPictureWidth - width) / 2, top = (kShowPictureHeight - height) / 2;
    for (int y = 0; y < height; ++y)
        std::copy(picture.pixel(0, y), picture.pixel(0, y) + size_t(width) * 3, frame.pixel(left, top + y));
    return frame;
}

}  // namespace

bool parsePictureFit(const std::string& text, PictureFit* fit) {
    if (text == "crop") *fit = PictureFit::crop;
    else if (text == "blur") *fit = PictureFit::blur;
    else return false;
    return true;
}

double fitSourceScale(PictureFit fit, int width, int height) {
    const double across = double(kShowPictureWidth) / width, down = double(kShowPictureHeight) / height;
    return fit == PictureFit::crop ? std::max(across, down) : std::min(across, down);
}

RgbImage fitPicture(const RgbImage& source, PictureFit fit) {
    if (fit == PictureFit::blur) return fitBlur(source);
    return scaleAndCrop(source, kShowPictureWidth, kShowPictureHeight);
}
