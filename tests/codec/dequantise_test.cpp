// The coded layout's documented tables, and dequantisation where the
// comparisons of whole planes (synthesis_test.cpp) do not reach.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "codec/scan_order.h"
#include "tests/support/picture_tables.h"

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
