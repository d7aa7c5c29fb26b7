#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/colour.h"

namespace {

std::vector<uint8_t> pixel(int16_t l, int16_t o, int16_t g) {
    std::vector<uint8_t> bgr(3);
    convertPixelToBgr(l, o, g, bgr.data());
    return bgr;
}

}  // namespace

TEST(Colour, LumaClamps) {
    EXPECT_EQ(pixel(600, 0, 0), (std::vector<uint8_t>{255, 255, 255}));
    EXPECT_EQ(pixel(-600, 0, 0), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(pixel(0, 0, 0), (std::vector<uint8_t>{128, 128, 128}));
}

TEST(Colour, OrangeChroma) {
    // Blue, green, red.
    EXPECT_EQ(pixel(0, 400, 0), (std::vector<uint8_t>{78, 128, 178}));
}

TEST(Colour, ShiftsRoundTowardsMinusInfinity) {
    // Cg = -1 >> 2 = -1, t = 0 - (-1 >> 1) = 1, green = 0: 128; blue = 1, red = 1.
    EXPECT_EQ(pixel(0, 0, -1), (std::vector<uint8_t>{129, 128, 129}));
}

// The vector path on every extreme and many random values, against one pixel at a time.
TEST(Colour, VectorPathMatchesPixelPath) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> near(-700, 700);
    const int count = 4096 + 12;
    std::vector<int16_t> l(count), o(count), g(count);
    for (int i = 0; i < count; ++i) {
        auto& pick = (i % 3 == 0) ? any : near;
        l[i] = int16_t(pick(random));
        o[i] = int16_t(pick(random));
        g[i] = int16_t(pick(random));
    }
    const int16_t extremes[] = {-32768, 32767, -1, 0, 1, 511, -512};
    int i = 0;
    for (int16_t a : extremes)
        for (int16_t b : extremes)
            for (int16_t c : extremes) {
                l[i] = a;
                o[i] = b;
                g[i] = c;
                ++i;
            }
    std::vector<uint8_t> fast(size_t(count) * 3 + 1, 0xEE);
    convertToBgr(l.data(), o.data(), g.data(), count, fast.data());
    EXPECT_EQ(fast.back(), 0xEE) << "wrote past the last pixel";
    for (int p = 0; p < count; ++p) {
        auto expected = pixel(l[p], o[p], g[p]);
        ASSERT_EQ(fast[size_t(p) * 3], expected[0]) << "pixel " << p;
        ASSERT_EQ(fast[size_t(p) * 3 + 1], expected[1]) << "pixel " << p;
        ASSERT_EQ(fast[size_t(p) * 3 + 2], expected[2]) << "pixel " << p;
    }
}
