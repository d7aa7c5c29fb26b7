#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/colour.h"
#include "codec/plane_layout.h"
#include "codec/synthesis_lanes.h"

namespace {

std::vector<uint8_t> pixel(int16_t l, int16_t o, int16_t g) {
    std::vector<uint8_t> bgr(3);
    convertPixelToBgr(l, o, g, bgr.data());
    return bgr;
}

}  // namespace

TEST(Colour, DocumentedPixels) {
    EXPECT_EQ(pixel(600, 0, 0), (std::vector<uint8_t>{255, 255, 255}));  // luma clamps
    EXPECT_EQ(pixel(-600, 0, 0), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(pixel(0, 0, 0), (std::vector<uint8_t>{128, 128, 128}));
    EXPECT_EQ(pixel(0, 400, 0), (std::vector<uint8_t>{78, 128, 178}));  // orange: blue, green, red
    // Shifts round towards minus infinity: Cg = -1 >> 2 = -1, t = 0 - (-1 >> 1) = 1.
    EXPECT_EQ(pixel(0, 0, -1), (std::vector<uint8_t>{129, 128, 129}));
}

// Every build of the vector path gives the pixels of the one-pixel path, and
// nothing is written past the picture: planes in bands (row by row, each pixel
// from the values at its own row and column) and row-major runs of pixels that
// end on a whole step of eight and within one.
TEST(Colour, VectorPathsMatchThePixelPath) {
    const int width = 40, height = 24, count = width * height;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> near(-700, 700);
    std::vector<int16_t> values[3], bands[3];
    const int16_t extremes[] = {-32768, 32767, -1, 0, 1, 511, -512};
    for (int p = 0; p < 3; ++p) {
        values[p].resize(count);
        bands[p].resize(count);
        for (int i = 0; i < count; ++i) {
            // First every combination of extremes, then random values.
            values[p][i] = i < 343 ? extremes[i / (p == 0 ? 49 : p == 1 ? 7 : 1) % 7]
                                   : int16_t(i % 3 == 0 ? any(random) : near(random));
            bands[p][bandIndex(i / width, i % width, width)] = values[p][i];
        }
    }
    using Convert = void (*)(const int16_t*, const int16_t*, const int16_t*, int32_t, int32_t, uint8_t*);
    std::vector<Convert> builds = {convertBandsToBgrPortable};
    if (avxAvailable()) builds.push_back(convertBandsToBgrAvx);
    if (colourAvx512Available()) builds.push_back(convertBandsToBgrAvx512);
    std::vector<std::vector<uint8_t>> outputs;
    for (Convert convert : builds) {
        outputs.emplace_back(size_t(count) * 3 + 1, 0xEE);
        convert(bands[0].data(), bands[1].data(), bands[2].data(), width, height, outputs.back().data());
    }
    for (int pixels : {count, count - 4}) {
        outputs.emplace_back(size_t(pixels) * 3 + 1, 0xEE);
        convertToBgr(values[0].data(), values[1].data(), values[2].data(), pixels, outputs.back().data());
    }
    for (const std::vector<uint8_t>& bgr : outputs) {
        SCOPED_TRACE("output " + std::to_string(&bgr - outputs.data()));
        EXPECT_EQ(bgr.back(), 0xEE) << "wrote past the last pixel";
        for (size_t p = 0; p < bgr.size() / 3; ++p)
            ASSERT_EQ(std::vector<uint8_t>(bgr.begin() + 3 * p, bgr.begin() + 3 * p + 3),
                      pixel(values[0][p], values[1][p], values[2][p]))
                << "row " << p / width << " column " << p % width;
    }
}
