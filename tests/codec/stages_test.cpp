// The decoder's stages after the coefficient decoder: the documented tables
// of the coded layout, dequantisation, synthesis and colour conversion. The
// scalar stages (which the reference decoder builds on) are checked against
// documented values, every register path against the plain stages.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/colour.h"
#include "codec/dequantise.h"
#include "codec/plane_layout.h"
#include "codec/scan_order.h"
#include "codec/synthesis.h"
#include "codec/synthesis_lanes.h"
#include "lib/heap.h"
#include "reference_decoder.h"
#include "tests/support/picture_tables.h"

namespace {

std::vector<uint8_t> pixel(int16_t l, int16_t o, int16_t g) {
    std::vector<uint8_t> bgr(3);
    convertPixelToBgr(l, o, g, bgr.data());
    return bgr;
}

}  // namespace

TEST(CodedLayout, DocumentedTables) {
    for (int q = 0; q < 8; ++q)
        for (int p = 0; p < 8; ++p) {
            Subband sb = subbandOfIndex(kSubbandIndex[q][p]);
            EXPECT_EQ(sb.column, p) << "index " << kSubbandIndex[q][p];
            EXPECT_EQ(sb.row, q) << "index " << kSubbandIndex[q][p];
        }
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            EXPECT_EQ(quantiserStep(u, v, 20), kLumaSteps[u + v]) << "u " << u << " v " << v;
            EXPECT_EQ(quantiserStep(u, v, 70), kChromaSteps[u + v]) << "u " << u << " v " << v;
        }
    for (int s = 0; s < 24; ++s) {
        EXPECT_EQ(cellOfScanPosition(s).row, kScanStart[s][0]) << "scan position " << s;
        EXPECT_EQ(cellOfScanPosition(s).column, kScanStart[s][1]) << "scan position " << s;
    }
    EXPECT_EQ(cellOfScanPosition(64).column, 8);
    EXPECT_EQ(cellOfScanPosition(65).row, 8);
}

// The middle of the interval; values beyond 16 bits keep the low 16 bits of
// 32-bit arithmetic.
TEST(Dequantise, ReconstructionKeepsTheLowBits) {
    EXPECT_EQ(reconstructCoefficient(2, 27), 67);
    EXPECT_EQ(reconstructCoefficient(-1, 23), -34);
    EXPECT_EQ(reconstructCoefficient(200, 630), int16_t(uint16_t(200 * 630 + 315)));
    EXPECT_EQ(reconstructCoefficient(-32768, 630), int16_t(uint16_t(uint32_t(-32768 * 630 - 315))));
}

// The decoder's column lines: each row with its own step and row stride, the
// low 16 bits kept; both builds give what one value at a time gives.
TEST(Dequantise, ColumnLinesOfBothBuildsMatchOneValueAtATime) {
    std::mt19937 random(29);
    const int32_t blockRows = 16;
    const size_t rowSteps[2] = {40, 8};
    std::vector<int16_t> source(blockRows * 40 * 8 + 64);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (auto& s : source) s = int16_t(random() % 4 == 0 ? value(random) : int(random() % 9) - 4);
    ColumnSources sources;
    for (int32_t v = 0; v < 8; ++v) {
        sources.rows[v] = source.data() + v * 5;
        sources.rowStep[v] = rowSteps[v % 2];
        sources.step[v] = int16_t(v == 0 ? 1 : quantiserStep(v, v, 70));
        sources.half[v] = int16_t(v == 0 ? 0 : sources.step[v] >> 1);
    }
    std::vector<int16_t> expected(size_t(blockRows) * 64);
    for (int32_t by = 0; by < blockRows; ++by)
        for (int32_t v = 0; v < 8; ++v)
            for (int32_t l = 0; l < 8; ++l) {
                const int16_t x = sources.rows[v][size_t(by) * sources.rowStep[v] + size_t(l)];
                expected[size_t(by) * 64 + v * 8 + l] = v == 0 ? x : reconstructCoefficient(x, sources.step[v]);
            }
    std::vector<int16_t> portable(expected.size(), -1);
    dequantiseColumnLinesPortable(sources, blockRows, portable.data());
    EXPECT_EQ(portable, expected);
    if (dequantiseAvx2Compiled() && __builtin_cpu_supports("avx2")) {
        std::vector<int16_t> wide(expected.size(), -1);
        dequantiseColumnLinesAvx2(sources, blockRows, wide.data());
        EXPECT_EQ(wide, expected);
    }
}

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
// planes and on dense ones whose values reach every bit.
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
            // Zero, small, or (a few) large values whose reconstruction keeps its low 16 bits. The
            // sparse planes, like real ones, have only the two lowest frequencies both ways (the
            // subbands of the top-left quarter): the lines' runs of zeros take shortcuts.
            const bool sparse = quality == 20;
            int16_t* coded = static_cast<int16_t*>(heapAlloc(size_t(w) * h * 2));
            for (size_t i = 0; i < size_t(w) * h; ++i) {
                const uint32_t pick = random() % 64;
                const bool zero = sparse ? int(i % w) >= w / 4 || int(i / w) >= h / 4 || pick < 16 : pick < 6;
                coded[i] = zero ? 0 : pick < 62 ? int16_t(int(random() % 21) - 10) : int16_t(random() % 65536);
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
