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

struct Planes {
    std::vector<int16_t> l, o, g;
};

// Random values for count pixels, the first ones every combination of extremes.
Planes extremesThenRandom(int count) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> near(-700, 700);
    Planes planes{std::vector<int16_t>(count), std::vector<int16_t>(count), std::vector<int16_t>(count)};
    for (int i = 0; i < count; ++i) {
        auto& pick = (i % 3 == 0) ? any : near;
        planes.l[i] = int16_t(pick(random));
        planes.o[i] = int16_t(pick(random));
        planes.g[i] = int16_t(pick(random));
    }
    const int16_t extremes[] = {-32768, 32767, -1, 0, 1, 511, -512};
    for (int i = 0; i < count && i < 7 * 7 * 7; ++i) {
        planes.l[i] = extremes[i / 49];
        planes.o[i] = extremes[i / 7 % 7];
        planes.g[i] = extremes[i % 7];
    }
    return planes;
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

// The vector path against one pixel at a time; counts that end on a whole
// step of eight pixels and within one.
TEST(Colour, VectorPathMatchesPixelPath) {
    for (int count : {4096 + 12, 4096, 8}) {
        const Planes planes = extremesThenRandom(count);
        std::vector<uint8_t> fast(size_t(count) * 3 + 1, 0xEE);
        convertToBgr(planes.l.data(), planes.o.data(), planes.g.data(), count, fast.data());
        EXPECT_EQ(fast.back(), 0xEE) << "wrote past the last pixel, count " << count;
        for (int p = 0; p < count; ++p)
            ASSERT_EQ(std::vector<uint8_t>(fast.begin() + 3 * p, fast.begin() + 3 * p + 3),
                      pixel(planes.l[p], planes.o[p], planes.g[p]))
                << "pixel " << p << " of " << count;
    }
}

// Planes in bands give the pixels row by row, each from the values at its
// own row and column, and nothing is written past the picture; every build.
TEST(Colour, BandsGiveRowsOfPixels) {
    const int width = 40, height = 24;
    const Planes values = extremesThenRandom(width * height);  // row-major
    Planes bands = values;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const size_t from = size_t(row) * width + column, to = bandIndex(row, column, width);
            bands.l[to] = values.l[from];
            bands.o[to] = values.o[from];
            bands.g[to] = values.g[from];
        }
    using Convert = void (*)(const int16_t*, const int16_t*, const int16_t*, int32_t, int32_t, uint8_t*);
    std::vector<Convert> builds = {convertBandsToBgrPortable};
    if (avxAvailable()) builds.push_back(convertBandsToBgrAvx);
    if (colourAvx512Available()) builds.push_back(convertBandsToBgrAvx512);
    for (Convert convert : builds) {
        std::vector<uint8_t> bgr(size_t(width) * height * 3 + 1, 0xEE);
        convert(bands.l.data(), bands.o.data(), bands.g.data(), width, height, bgr.data());
        EXPECT_EQ(bgr.back(), 0xEE) << "wrote past the last pixel";
        for (int p = 0; p < width * height; ++p)
            ASSERT_EQ(std::vector<uint8_t>(bgr.begin() + 3 * p, bgr.begin() + 3 * p + 3),
                      pixel(values.l[p], values.o[p], values.g[p]))
                << "row " << p / width << " column " << p % width;
    }
}
