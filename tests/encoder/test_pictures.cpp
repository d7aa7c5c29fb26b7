#include "test_pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "kit/encoder/picture_decoding.h"
#include "kit/image/collage.h"

RgbImage flatPicture(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
    RgbImage image(width, height);
    for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = i % 3 == 0 ? red : i % 3 == 1 ? green : blue;
    return image;
}

RgbImage gradientPicture(int width, int height) {
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = uint8_t(255 * x / (width - 1));
            p[1] = uint8_t(255 * y / (height - 1));
            p[2] = uint8_t(255 * (x + y) / (width + height - 2));
        }
    return image;
}

RgbImage noisePicture(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    RgbImage image(width, height);
    for (uint8_t& sample : image.rgb) sample = uint8_t(random() & 0xFF);
    return image;
}

RgbImage smoothPicture(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double pi = std::acos(-1.0);
    RgbImage image(width, height);
    for (int c = 0; c < 3; ++c) {
        double fx[4], fy[4], phase[4], amplitude[4];
        for (int k = 0; k < 4; ++k) {
            fx[k] = unit(random) * 3.0;  // at most three periods across
            fy[k] = unit(random) * 3.0;
            phase[k] = unit(random) * 2 * pi;
            amplitude[k] = 10.0 + unit(random) * 15.0;
        }
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                double v = 128.0;
                for (int k = 0; k < 4; ++k)
                    v += amplitude[k] * std::cos(2 * pi * (fx[k] * x / width + fy[k] * y / height) + phase[k]);
                image.pixel(x, y)[c] = uint8_t(std::lround(v));
            }
    }
    return image;
}

std::string photoDirectory() {
    const std::string directory = std::string(VEL_TEST_DATA_DIR) + "/photos";
    for (const std::string& name : collagePhotoNames())
        if (!std::ifstream(directory + "/" + name)) return "";
    return directory;
}

RgbImage roundTripBytes(const std::vector<uint8_t>& bytes, int width, int height) {
    const DecodedPicture decoded = decodePictureBytes(bytes);
    EXPECT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    return decoded.ok ? toRgbImage(decoded) : RgbImage(width, height);
}

int maxSampleError(const RgbImage& a, const RgbImage& b) {
    int worst = 0;
    for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        worst = std::max(worst, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return worst;
}
