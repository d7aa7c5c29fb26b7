#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "lib/heap.h"
#include "reference_decoder.h"

TEST(Subbands, TableOfBlockCoefficients) {
    const int table[8][8] = {{0, 1, 4, 5, 16, 17, 18, 19},     {2, 3, 6, 7, 20, 21, 22, 23},
                             {8, 9, 12, 13, 24, 25, 26, 27},   {10, 11, 14, 15, 28, 29, 30, 31},
                             {32, 33, 34, 35, 48, 49, 50, 51}, {36, 37, 38, 39, 52, 53, 54, 55},
                             {40, 41, 42, 43, 56, 57, 58, 59}, {44, 45, 46, 47, 60, 61, 62, 63}};
    for (int q = 0; q < 8; ++q)
        for (int p = 0; p < 8; ++p) {
            Subband sb = subbandOfIndex(table[q][p]);
            EXPECT_EQ(sb.column, p) << "index " << table[q][p];
            EXPECT_EQ(sb.row, q) << "index " << table[q][p];
        }
}

TEST(Subbands, Examples) {
    EXPECT_EQ(subbandOfIndex(19).column, 7);
    EXPECT_EQ(subbandOfIndex(19).row, 0);
    EXPECT_EQ(subbandOfIndex(10).column, 0);
    EXPECT_EQ(subbandOfIndex(10).row, 3);
    EXPECT_EQ(subbandOfIndex(40).column, 0);
    EXPECT_EQ(subbandOfIndex(40).row, 6);
    EXPECT_EQ(subbandOfIndex(17).column, 5);
    EXPECT_EQ(subbandOfIndex(17).row, 0);
}

TEST(QuantiserSteps, BothTables) {
    const int luma[15] = {20, 23, 27, 32, 37, 43, 51, 60, 70, 82, 96, 112, 131, 153, 180};
    const int chroma[15] = {70, 81, 95, 112, 131, 153, 179, 210, 245, 287, 336, 393, 460, 538, 630};
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            EXPECT_EQ(quantiserStep(u, v, 20), luma[u + v]) << "u " << u << " v " << v;
            EXPECT_EQ(quantiserStep(u, v, 70), chroma[u + v]) << "u " << u << " v " << v;
        }
}

TEST(Reconstruction, Examples) {
    EXPECT_EQ(reconstructCoefficient(1, quantiserStep(0, 1, 20)), 34);
    EXPECT_EQ(reconstructCoefficient(-1, quantiserStep(0, 1, 20)), -34);
    EXPECT_EQ(reconstructCoefficient(0, quantiserStep(0, 1, 20)), 0);
    EXPECT_EQ(reconstructCoefficient(1, 20), 30);
    EXPECT_EQ(reconstructCoefficient(-2, 20), -50);
    EXPECT_EQ(reconstructCoefficient(1, quantiserStep(7, 7, 70)), 945);
    // Out of range: the low 16 bits of 32-bit arithmetic.
    EXPECT_EQ(reconstructCoefficient(200, 630), int16_t(uint16_t(200 * 630 + 315)));
    EXPECT_EQ(reconstructCoefficient(-32768, 630), int16_t(uint16_t(uint32_t(-32768 * 630 - 315))));
}

namespace {

// Dequantises a 1024 x 512 coded plane that is zero except for one value.
std::vector<int16_t> dequantiseOne(int row, int column, int16_t value, int quality) {
    const int w = 1024, h = 512;
    int16_t* plane = static_cast<int16_t*>(heapAlloc(size_t(w) * h * 2));
    std::fill(plane, plane + size_t(w) * h, 0);
    plane[size_t(row) * w + column] = value;
    EXPECT_TRUE(dequantisePlane(&plane, w, h, quality));
    std::vector<int16_t> out(plane, plane + size_t(w) * h);
    heapFree(plane);
    return out;
}

int nonzeroCount(const std::vector<int16_t>& plane) {
    int count = 0;
    for (int16_t v : plane) count += v != 0;
    return count;
}

}  // namespace

TEST(DequantisePlane, LayoutExamples) {
    const int w = 1024;
    // Block coefficient 1 of block (0, 0) comes from coded row 0, column 128.
    auto out = dequantiseOne(0, 128, 1, 20);
    EXPECT_EQ(out[1], 23 + 11);
    EXPECT_EQ(nonzeroCount(out), 1);
    // Coefficient 2 (u 2, v 0, step 27) from row 64, column 0.
    out = dequantiseOne(64, 0, 1, 20);
    EXPECT_EQ(out[2], 27 + 13);
    // Coefficient 8 (u 0, v 1, step 23) of block (3, 5) from row 128 + 5, column 3.
    out = dequantiseOne(133, 3, 1, 20);
    EXPECT_EQ(out[size_t(8 * 5 + 1) * w + 8 * 3], 34);
    EXPECT_EQ(nonzeroCount(out), 1);
    // Coefficient 63 (u 7, v 7) from row 448, column 896; chroma step 630.
    out = dequantiseOne(448, 896, 1, 70);
    EXPECT_EQ(out[size_t(7) * w + 7], 945);
    EXPECT_EQ(nonzeroCount(out), 1);
    // The block average of block (9, 10) from row 1, column 81, with step q.
    out = dequantiseOne(1, 81, -2, 20);
    EXPECT_EQ(out[size_t(8 * 10) * w + 8 * 9], -50);
    EXPECT_EQ(nonzeroCount(out), 1);
}

TEST(DequantisePlane, MatchesPlainLoopOnRandomPlanes) {
    std::mt19937 random(7);
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 128}, {1024, 512}};
    for (auto& size : sizes) {
        const int w = size[0], h = size[1];
        std::vector<int16_t> coded(size_t(w) * h);
        std::uniform_int_distribution<int> value(-40000, 40000);
        for (auto& c : coded) {
            int v = value(random);
            c = int16_t(v > 32767 || v < -32768 ? (v & 31) - 16 : v);
        }
        for (int quality : {20, 70}) {
            int16_t* plane = static_cast<int16_t*>(heapAlloc(coded.size() * 2));
            std::copy(coded.begin(), coded.end(), plane);
            ASSERT_TRUE(dequantisePlane(&plane, w, h, quality));
            std::vector<int16_t> fast(plane, plane + coded.size());
            heapFree(plane);
            EXPECT_EQ(fast, referenceDequantise(coded, w, h, quality)) << w << "x" << h << " q " << quality;
        }
    }
}

// The decoder's column lines: each row reconstructed with its own step, the
// low 16 bits kept, rows read with their own steps between block rows; both
// builds give the same lines as one value at a time.
TEST(DequantiseColumnLines, BothBuildsMatchOneValueAtATime) {
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
                expected[size_t(by) * 64 + v * 8 + l] =
                    v == 0 ? x : reconstructCoefficient(x, sources.step[v]);
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
