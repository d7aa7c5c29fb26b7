#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codec/dequantise.h"
#include "lib/heap.h"
#include "reference_decoder.h"
#include "tests/support/picture_tables.h"

TEST(Dequantise, DocumentedTables) {
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
}

// Values beyond 16 bits keep the low 16 bits of 32-bit arithmetic (the
// in-range values are checked where they land, below).
TEST(Dequantise, ReconstructionKeepsTheLowBits) {
    EXPECT_EQ(reconstructCoefficient(-1, 23), -34);
    EXPECT_EQ(reconstructCoefficient(200, 630), int16_t(uint16_t(200 * 630 + 315)));
    EXPECT_EQ(reconstructCoefficient(-32768, 630), int16_t(uint16_t(uint32_t(-32768 * 630 - 315))));
}

// A 1024 x 512 coded plane, zero but for one value: where it lands, and as what.
TEST(Dequantise, OneCodedValueLandsInItsBlock) {
    struct Case {
        const char* name;
        int row, column, value, quality;
        size_t at;
        int expected;
    } cases[] = {
        {"coefficient 1 of block (0,0)", 0, 128, 1, 20, 1, 23 + 11},
        {"coefficient 2, step 27", 64, 0, 1, 20, 2, 27 + 13},
        {"coefficient 8 of block (3,5)", 133, 3, 1, 20, size_t(8 * 5 + 1) * 1024 + 8 * 3, 34},
        {"coefficient 63, chroma step 630", 448, 896, 1, 70, size_t(7) * 1024 + 7, 945},
        {"average of block (9,10), step q", 1, 81, -2, 20, size_t(8 * 10) * 1024 + 8 * 9, -50},
    };
    const int w = 1024, h = 512;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int16_t* plane = static_cast<int16_t*>(heapAlloc(size_t(w) * h * 2));
        std::fill(plane, plane + size_t(w) * h, 0);
        plane[size_t(c.row) * w + c.column] = int16_t(c.value);
        ASSERT_TRUE(dequantisePlane(&plane, w, h, c.quality));
        EXPECT_EQ(plane[c.at], c.expected);
        EXPECT_EQ(std::count(plane, plane + size_t(w) * h, 0), w * h - 1);
        heapFree(plane);
    }
}

TEST(Dequantise, MatchesPlainLoopOnRandomPlanes) {
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
