// Pictures made by the kit's encoder, decoded by the decoder and by the plain
// reference, stage by stage.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "codec/dequantise.h"
#include "codec/picture_decoder.h"
#include "codec/synthesis.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "kit/image/rgb_image.h"
#include "lib/heap.h"
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

std::vector<std::vector<int16_t>> decodeCoefficients(const std::vector<uint8_t>& file, int w, int h) {
    std::vector<uint8_t> copy = file;
    MemoryStream stream(copy.data(), int32_t(copy.size()), 0);
    PictureDecoder decoder;
    EXPECT_TRUE(decoder.prepareCoefficientDecoding(w, h));
    decoder.reader.attach(&stream);
    decoder.reader.readBits(15);
    decoder.reader.readBits(15);
    std::vector<std::vector<int16_t>> planes;
    for (int p = 0; p < 3; ++p) {
        std::vector<int16_t> plane(size_t(w) * h, 0x5A5A);
        EXPECT_TRUE(decoder.decodePlaneCoefficients(plane.data()));
        planes.push_back(plane);
    }
    EXPECT_FALSE(decoder.reader.pastEnd());
    return planes;
}

// Every stage of the decoder against the reference, then the whole decode.
void checkAgainstReference(const RgbImage& image) {
    const std::vector<uint8_t> file = encodePicture(image);
    const int w = image.width, h = image.height;
    ReferencePicture expected = referenceDecode(file);
    ASSERT_EQ(expected.width, w);

    std::vector<std::vector<int16_t>> coded = decodeCoefficients(file, w, h);
    const int32_t qualities[3] = {20, 70, 70};
    for (int p = 0; p < 3; ++p) {
        ASSERT_EQ(coded[p], expected.codedPlanes[p]) << "coefficients of plane " << p;
        int16_t* plane = static_cast<int16_t*>(heapAlloc(coded[p].size() * 2));
        std::copy(coded[p].begin(), coded[p].end(), plane);
        ASSERT_TRUE(dequantisePlane(&plane, w, h, qualities[p]));
        ASSERT_EQ(std::vector<int16_t>(plane, plane + coded[p].size()), expected.blockPlanes[p]) << "plane " << p;
        ASSERT_TRUE(synthesizePlane(plane, w, h));
        ASSERT_EQ(std::vector<int16_t>(plane, plane + coded[p].size()), expected.samplePlanes[p]) << "plane " << p;
        heapFree(plane);
    }

    std::vector<uint8_t> copy = file;
    MemoryStream stream(copy.data(), int32_t(copy.size()), 0);
    PictureBuffer picture;
    PictureDecoder decoder;
    ASSERT_EQ(decoder.decode(stream, picture), DecodeResult::decoded);
    ASSERT_EQ(picture.width, w);
    ASSERT_EQ(picture.height, h);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + size_t(w) * h * 3), expected.bgr);

    // And the picture resembles what was encoded.
    double error = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                error += std::abs(int(picture.pixels[(size_t(y) * w + x) * 3 + 2 - c]) - int(image.pixel(x, y)[c]));
    EXPECT_LT(error / (double(w) * h * 3), 12.0);
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
