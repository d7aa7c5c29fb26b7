// The synthesis stages: the scalar ones (which the reference decoder builds
// on) against documented values, and every register path of the plane
// synthesis and of the decoder's dequantisation against the plain stages.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/plane_layout.h"
#include "codec/synthesis.h"
#include "codec/synthesis_lanes.h"
#include "lib/heap.h"
#include "reference_decoder.h"

TEST(Synthesis, DocumentedValues) {
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
    // Region averages: j = 0 of region (1, 0) at 80 gives 20 on every block
    // average of that region only; j = 1 (row 0, block column 1) at 100 the
    // first horizontal frequency.
    std::vector<int16_t> plane(size_t(128) * 64, 0);
    plane[64] = 80;
    plane[8] = 100;
    synthesizeRegionAverages(plane.data(), 128, 64);
    std::vector<int16_t> expected(plane.size(), 0);
    const int row[8] = {35, 29, 20, 7, -7, -20, -29, -35};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            expected[size_t(8 * r) * 128 + 64 + 8 * c] = 20;
            expected[size_t(8 * r) * 128 + 8 * c] = int16_t(row[c]);
        }
    EXPECT_EQ(plane, expected);
    // Plane values: nearest, ties to even, the low 16 bits of a 32-bit integer.
    EXPECT_EQ(planeValueOf(2.5f), 2);
    EXPECT_EQ(planeValueOf(3.5f), 4);
    EXPECT_EQ(planeValueOf(-2.5f), -2);
    EXPECT_EQ(planeValueOf(40000.0f), int16_t(40000 - 65536));
}

// Dequantisation into rows, the row-major plane synthesis and the decoder's
// own order (the columns straight from the coded plane into bands, then the
// rows) give the plain stages' bits on every register path, on sparse coded
// planes like real ones and on dense ones whose values reach every bit.
TEST(Synthesis, EveryPathMatchesThePlainStages) {
    std::vector<LanePath> paths = {LanePath::automatic, LanePath::sse2};
    if (avxAvailable()) paths.push_back(LanePath::avx);
    if (avx512Available()) paths.push_back(LanePath::avx512);
    std::mt19937 random(13);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 192}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int quality : {20, 70}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " q " + std::to_string(quality));
            // Zero, small, or (a few) large values whose reconstruction keeps its low 16 bits.
            const uint32_t zeros = quality == 20 ? 40 : 6;
            int16_t* coded = static_cast<int16_t*>(heapAlloc(size_t(w) * h * 2));
            for (size_t i = 0; i < size_t(w) * h; ++i) {
                const uint32_t pick = random() % 64;
                coded[i] = pick < zeros ? 0 : pick < 62 ? int16_t(int(random() % 21) - 10) : int16_t(random() % 65536);
            }
            const std::vector<int16_t> codedCopy(coded, coded + size_t(w) * h);
            const std::vector<int16_t> blocks = referenceDequantise(codedCopy, w, h, quality);
            std::vector<int16_t> expected = blocks;
            referenceSynthesize(expected, w, h);
            ASSERT_TRUE(dequantisePlane(&coded, w, h, quality));
            EXPECT_EQ(std::vector<int16_t>(coded, coded + size_t(w) * h), blocks);
            heapFree(coded);

            const PlaneDequantiser dequantiser(w, h, quality);
            for (LanePath path : paths) {
                SCOPED_TRACE("path " + std::to_string(int(path)));
                std::vector<int16_t> plane = blocks;
                ASSERT_TRUE(path == LanePath::automatic ? synthesizePlane(plane.data(), w, h)
                                                        : synthesizePlaneWith(plane.data(), w, h, path));
                EXPECT_EQ(plane, expected);
                std::vector<int16_t> bands(blocks.size(), -1), rows(blocks.size());
                std::vector<int16_t> work(blocks.size() / 64 + size_t(h) * 8);
                LaneScratch scratch;
                ASSERT_TRUE(scratch.allocate(w));
                synthesizeCodedColumns(dequantiser, codedCopy.data(), bands.data(), w, h, work.data(), scratch, path);
                synthesizeBandRows(bands.data(), 0, h / 8, w, scratch, path);
                rowsFromBands(bands.data(), rows.data(), w, h);
                EXPECT_EQ(rows, expected);
            }
        }
    }
}
