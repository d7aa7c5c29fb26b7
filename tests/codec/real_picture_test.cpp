// Pictures made by the kit's encoder, decoded by the decoder and by the plain
// reference: real pictures have runs and bit planes random bits rarely give.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "codec/picture_decoder.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "kit/image/rgb_image.h"
#include "lib/stream.h"
#include "reference_decoder.h"

namespace {

RgbImage landscape(int width, int height) {
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.pixel(x, y);
            double sky = double(y) / height;
            double ridge = 0.5 + 0.2 * std::sin(x * 0.05) + 0.05 * std::sin(x * 0.31 + y * 0.07);
            bool ground = sky > ridge;
            p[0] = uint8_t(ground ? 60 + (x * 7 + y * 3) % 40 : 120 + 100 * sky);
            p[1] = uint8_t(ground ? 90 + (x ^ y) % 50 : 160 + 60 * sky);
            p[2] = uint8_t(ground ? 40 : 230 - 30 * sky);
        }
    return image;
}

void checkAgainstReference(const RgbImage& image) {
    const std::vector<uint8_t> file = encodePicture(image);
    const int w = image.width, h = image.height;
    std::vector<uint8_t> copy = file;
    MemoryStream stream(copy.data(), int32_t(copy.size()), 0);
    PictureBuffer picture;
    PictureDecoder decoder;
    ASSERT_EQ(decoder.decode(stream, picture), DecodeResult::decoded);
    ASSERT_EQ(picture.width, w);
    ASSERT_EQ(picture.height, h);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + size_t(w) * h * 3), referenceDecode(file).bgr);
}

}  // namespace

TEST(RealPictures, SyntheticLandscapesOfSeveralSizes) {
    const int sizes[][2] = {{64, 64}, {192, 128}, {512, 256}};
    for (auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        checkAgainstReference(landscape(size[0], size[1]));
    }
}

TEST(RealPictures, PhotographCollage) {
    const std::string directory = std::string(VEL_TEST_DATA_DIR) + "/photos";
    if (!std::ifstream(directory + "/" + collagePhotoNames()[0]).good())
        GTEST_SKIP() << "test photographs not found in " << directory;
    checkAgainstReference(makePhotoCollage(directory));
}
