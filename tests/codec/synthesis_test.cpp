#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/plane_layout.h"
#include "codec/synthesis.h"
#include "codec/synthesis_lanes.h"
#include "reference_decoder.h"

namespace {

std::vector<int16_t> lineWith(int n, int position, int16_t value) {
    std::vector<int16_t> line(size_t(n), 0);
    line[size_t(position)] = value;
    return line;
}

std::vector<int16_t> synthesized(std::vector<int16_t> line) {
    std::vector<float> scratch(line.size() + 4);
    synthesizeLine(line.data(), int32_t(line.size()), scratch.data());
    return line;
}

}  // namespace

TEST(Idct8, ConstantFromDcAlone) {
    float values[8] = {80, 0, 0, 0, 0, 0, 0, 0};
    idct8(values, 1);
    for (float v : values) EXPECT_NEAR(v, 80 / std::sqrt(8.0), 1e-4);
}

TEST(Idct8, StrideIsHonoured) {
    float values[16];
    for (int i = 0; i < 16; ++i) values[i] = float(100 + i);
    idct8(values, 2);
    for (int i = 1; i < 16; i += 2) EXPECT_EQ(values[i], float(100 + i)) << "value " << i << " is not on the stride";
}

TEST(RegionAverages, DcOnlyGivesTwentyEverywhere) {
    const int w = 128, h = 64;
    std::vector<int16_t> plane(size_t(w) * h, 0);
    plane[64] = 80;  // j = 0 of region (1, 0)
    synthesizeRegionAverages(plane.data(), w, h);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            EXPECT_EQ(plane[size_t(8 * r) * w + 64 + 8 * c], 20);
            EXPECT_EQ(plane[size_t(8 * r) * w + 8 * c], 0) << "region (0, 0) must stay zero";
        }
    int nonzero = 0;
    for (int16_t v : plane) nonzero += v != 0;
    EXPECT_EQ(nonzero, 64);
}

TEST(RegionAverages, FirstHorizontalFrequency) {
    const int w = 64, h = 64;
    std::vector<int16_t> plane(size_t(w) * h, 0);
    plane[8] = 100;  // j = 1: row 0, block column 1
    synthesizeRegionAverages(plane.data(), w, h);
    const int expected[8] = {35, 29, 20, 7, -7, -20, -29, -35};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) EXPECT_EQ(plane[size_t(8 * r) * w + 8 * c], expected[c]) << r << "," << c;
}

TEST(SynthesizeLine, FirstCoefficient) {
    const std::vector<int16_t> expected = {354, 354, 354, 354, 354, 354, 340, 244, 109, 13, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(synthesized(lineWith(16, 0, 1000)), expected);
}

TEST(SynthesizeLine, SecondCoefficient) {
    const std::vector<int16_t> expected = {354, 354, 327, 135, -135, -327, -340, -244,
                                           -109, -13, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(synthesized(lineWith(16, 1, 1000)), expected);
}

TEST(SynthesizeLine, InnerCoefficients) {
    const int16_t block[8] = {-16, 125, 500, 346, -346, -500, -125, 16};
    const int16_t edge[8] = {115, 119, -450, 510, -510, 450, -119, -115};
    struct Case {
        int position;
        const int16_t* values;
        int first;
    } cases[] = {{10, block, 6}, {11, block, 10}, {14, edge, 6}, {15, edge, 10}};
    for (const Case& c : cases) {
        std::vector<int16_t> expected(32, 0);
        for (int i = 0; i < 8; ++i) expected[size_t(c.first + i)] = c.values[i];
        EXPECT_EQ(synthesized(lineWith(32, c.position, 1000)), expected) << "x[" << c.position << "] = 1000";
    }
}

TEST(SynthesizeLine, AveragesOnlyGiveAConstant) {
    std::vector<int16_t> line(64, 0);
    for (int g = 0; g < 64; g += 8) line[size_t(g)] = 400;
    for (int16_t v : synthesized(line)) EXPECT_EQ(v, 141);
}

TEST(SynthesizeLine, ShortestLine) {
    // Eight values: one group, both ends mirrored.
    std::vector<int16_t> line = {400, 0, 0, 0, 0, 0, 0, 0};
    for (int16_t v : synthesized(line)) EXPECT_EQ(v, 141);
}

TEST(SynthesizePlane, ZerosStayZero) {
    const int w = 128, h = 64;
    std::vector<int16_t> plane(size_t(w) * h, 0);
    ASSERT_TRUE(synthesizePlane(plane.data(), w, h));
    for (int16_t v : plane) EXPECT_EQ(v, 0);
}

// Every vector path must give exactly the bits of the scalar line synthesis.
TEST(SynthesizePlane, MatchesScalarLinesOnRandomPlanes) {
    std::vector<LanePath> paths = {LanePath::sse2};
    if (avxAvailable()) paths.push_back(LanePath::avx);
    if (avx512Available()) paths.push_back(LanePath::avx512);
    std::mt19937 random(11);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 192}, {256, 128}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int range : {60, 2000, 32768}) {
            std::uniform_int_distribution<int> value(-range, range - 1);
            std::vector<int16_t> input(size_t(w) * h);
            for (auto& v : input) v = int16_t(value(random));
            if (range == 2000) {
                // Sparse like real planes: mostly the first two of each eight
                // values in both directions, and whole groups of zeros.
                for (int r = 0; r < h; ++r)
                    for (int c = 0; c < w; ++c)
                        if ((r % 8 >= 2 && c % 8 >= 2) || random() % 4 == 0) input[size_t(r) * w + c] = 0;
            }
            std::vector<int16_t> expected = input;
            referenceSynthesize(expected, w, h);
            for (LanePath path : paths) {
                std::vector<int16_t> plane = input;
                ASSERT_TRUE(synthesizePlaneWith(plane.data(), w, h, path));
                EXPECT_EQ(plane, expected) << w << "x" << h << " range " << range << " path " << int(path);
            }
        }
    }
}

// The decoder's own order: dequantisation and the columns straight from the
// coded plane into bands, then the rows; every path gives the plain stages' bits.
TEST(SynthesizePlane, CodedColumnsThenRowsMatchThePlainStages) {
    std::vector<LanePath> paths = {LanePath::sse2};
    if (avxAvailable()) paths.push_back(LanePath::avx);
    if (avx512Available()) paths.push_back(LanePath::avx512);
    std::mt19937 random(13);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 128}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int quality : {20, 70}) {
            // Small coded values, most of them zero, as in real planes; a
            // few large ones, whose reconstruction keeps only its low 16 bits.
            std::vector<int16_t> coded(size_t(w) * h);
            for (auto& c : coded) {
                const uint32_t pick = random() % 64;
                c = pick < 40 ? 0 : pick < 62 ? int16_t(int(random() % 21) - 10) : int16_t(random() % 65536);
            }
            std::vector<int16_t> expected = referenceDequantise(coded, w, h, quality);
            referenceSynthesize(expected, w, h);
            const PlaneDequantiser dequantiser(w, h, quality);
            for (LanePath path : paths) {
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
