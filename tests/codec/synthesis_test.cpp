#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/plane_layout.h"
#include "codec/synthesis.h"
#include "codec/synthesis_lanes.h"
#include "reference_decoder.h"

namespace {

std::vector<LanePath> lanePaths() {
    std::vector<LanePath> paths = {LanePath::sse2};
    if (avxAvailable()) paths.push_back(LanePath::avx);
    if (avx512Available()) paths.push_back(LanePath::avx512);
    return paths;
}

}  // namespace

TEST(Idct8, ConstantFromDcAloneAndStrideHonoured) {
    float values[16] = {80};
    for (int i = 1; i < 16; i += 2) values[i] = float(100 + i);
    idct8(values, 2);
    for (int i = 0; i < 16; i += 2) EXPECT_NEAR(values[i], 80 / std::sqrt(8.0), 1e-4) << i;
    for (int i = 1; i < 16; i += 2) EXPECT_EQ(values[i], float(100 + i)) << "value " << i << " is not on the stride";
}

TEST(RegionAverages, DocumentedValues) {
    // j = 0 of region (1, 0) at 80: 20 on every block average of that region only.
    std::vector<int16_t> plane(size_t(128) * 64, 0);
    plane[64] = 80;
    synthesizeRegionAverages(plane.data(), 128, 64);
    std::vector<int16_t> expected(plane.size(), 0);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) expected[size_t(8 * r) * 128 + 64 + 8 * c] = 20;
    EXPECT_EQ(plane, expected);
    // j = 1 (row 0, block column 1) at 100: the first horizontal frequency.
    plane.assign(size_t(64) * 64, 0);
    plane[8] = 100;
    synthesizeRegionAverages(plane.data(), 64, 64);
    const int row[8] = {35, 29, 20, 7, -7, -20, -29, -35};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) EXPECT_EQ(plane[size_t(8 * r) * 64 + 8 * c], row[c]) << r << "," << c;
}

TEST(SynthesizeLine, DocumentedValues) {
    const std::vector<int16_t> first = {354, 354, 354, 354, 354, 354, 340, 244, 109, 13};
    const std::vector<int16_t> second = {354, 354, 327, 135, -135, -327, -340, -244, -109, -13};
    const std::vector<int16_t> block = {-16, 125, 500, 346, -346, -500, -125, 16};
    const std::vector<int16_t> edge = {115, 119, -450, 510, -510, 450, -119, -115};
    const std::vector<int16_t> flat(8, 141);
    struct Case {
        int length, position, value;
        const std::vector<int16_t>& expected;
        int first;  // where the expected values start; zeros elsewhere
    } cases[] = {{16, 0, 1000, first, 0}, {16, 1, 1000, second, 0}, {32, 10, 1000, block, 6},
                 {32, 11, 1000, block, 10}, {32, 14, 1000, edge, 6}, {32, 15, 1000, edge, 10},
                 {8, 0, 400, flat, 0}};  // the shortest line: both ends mirrored
    for (const Case& c : cases) {
        SCOPED_TRACE("x[" + std::to_string(c.position) + "] = " + std::to_string(c.value) + " of " +
                     std::to_string(c.length));
        std::vector<int16_t> line(size_t(c.length), 0), expected(size_t(c.length), 0);
        line[size_t(c.position)] = int16_t(c.value);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin() + c.first);
        std::vector<float> scratch(line.size() + 4);
        synthesizeLine(line.data(), c.length, scratch.data());
        EXPECT_EQ(line, expected);
    }
    // Averages alone give a constant.
    std::vector<int16_t> line(64, 0);
    for (int g = 0; g < 64; g += 8) line[size_t(g)] = 400;
    std::vector<float> scratch(68);
    synthesizeLine(line.data(), 64, scratch.data());
    EXPECT_EQ(line, std::vector<int16_t>(64, 141));
}

// Every vector path, and the one chosen for the processor, gives exactly the
// bits of the scalar line synthesis.
TEST(SynthesizePlane, MatchesScalarLinesOnRandomPlanes) {
    std::mt19937 random(11);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 192}, {256, 128}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int range : {60, 2000, 32768}) {
            std::uniform_int_distribution<int> value(-range, range - 1);
            std::vector<int16_t> input(size_t(w) * h);
            for (auto& v : input) v = int16_t(value(random));
            // Sparse like real planes: mostly the first two of each eight values both ways.
            if (range == 2000)
                for (int r = 0; r < h; ++r)
                    for (int c = 0; c < w; ++c)
                        if ((r % 8 >= 2 && c % 8 >= 2) || random() % 4 == 0) input[size_t(r) * w + c] = 0;
            std::vector<int16_t> expected = input;
            referenceSynthesize(expected, w, h);
            for (LanePath path : lanePaths()) {
                std::vector<int16_t> plane = input;
                ASSERT_TRUE(synthesizePlaneWith(plane.data(), w, h, path));
                EXPECT_EQ(plane, expected) << w << "x" << h << " range " << range << " path " << int(path);
            }
            std::vector<int16_t> plane = input;  // the path the processor chooses
            ASSERT_TRUE(synthesizePlane(plane.data(), w, h));
            EXPECT_EQ(plane, expected) << w << "x" << h << " range " << range;
        }
    }
}

// The decoder's own order: dequantisation and the columns straight from the
// coded plane into bands, then the rows; every path gives the plain stages' bits.
TEST(SynthesizePlane, CodedColumnsThenRowsMatchThePlainStages) {
    std::mt19937 random(13);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 128}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int quality : {20, 70}) {
            // Mostly zero or small, a few large values whose reconstruction keeps its low 16 bits.
            std::vector<int16_t> coded(size_t(w) * h);
            for (auto& c : coded) {
                const uint32_t pick = random() % 64;
                c = pick < 40 ? 0 : pick < 62 ? int16_t(int(random() % 21) - 10) : int16_t(random() % 65536);
            }
            std::vector<int16_t> expected = referenceDequantise(coded, w, h, quality);
            referenceSynthesize(expected, w, h);
            const PlaneDequantiser dequantiser(w, h, quality);
            for (LanePath path : lanePaths()) {
                std::vector<int16_t> bands(coded.size(), -1), rows(coded.size());
                std::vector<int16_t> work(coded.size() / 64 + size_t(h) * 8);
                LaneScratch scratch;
                ASSERT_TRUE(scratch.allocate(w));
                synthesizeCodedColumns(dequantiser, coded.data(), bands.data(), w, h, work.data(), scratch, path);
                synthesizeBandRows(bands.data(), 0, h / 8, w, scratch, path);
                rowsFromBands(bands.data(), rows.data(), w, h);
                EXPECT_EQ(rows, expected) << w << "x" << h << " q " << quality << " path " << int(path);
            }
        }
    }
}

TEST(PlaneValue, RoundsHalfToEvenAndKeepsLowBits) {
    EXPECT_EQ(planeValueOf(2.5f), 2);
    EXPECT_EQ(planeValueOf(3.5f), 4);
    EXPECT_EQ(planeValueOf(-2.5f), -2);
    EXPECT_EQ(planeValueOf(140.5f), 140);
    EXPECT_EQ(planeValueOf(40000.0f), int16_t(40000 - 65536));
}
