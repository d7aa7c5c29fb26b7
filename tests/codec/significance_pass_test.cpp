// The two builds of the significance pass (portable and with the processor's
// bit instructions) against each other on random data.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/bit_reader.h"
#include "codec/significance_pass.h"
#include "lib/stream.h"

namespace {

struct PassResult {
    bool ok;
    RunState state;
    std::vector<int16_t> values;
    std::vector<uint64_t> significant;
    int64_t consumed;
};

template <typename Pass>
PassResult runPass(Pass pass, std::vector<uint8_t> bits, const std::vector<int16_t>& values, int32_t groupSize,
                   int32_t d) {
    const int32_t words = (groupSize + 63) / 64;
    PassResult result;
    result.values = values;
    result.values.resize(size_t(words) * 64, 0);
    result.significant.assign(size_t(words), 0);
    for (int32_t i = 0; i < words * 64; ++i)
        if (i >= groupSize || result.values[size_t(i)] != 0) result.significant[size_t(i / 64)] |= uint64_t(1) << (i % 64);
    std::vector<WordZeros> zeros(static_cast<size_t>(words));
    MemoryStream stream(bits.data(), int32_t(bits.size()), 0);
    BitReader reader;
    reader.attach(&stream);
    result.state = RunState{0, 1, 0};
    result.ok = readRunCode(reader, result.state, d);
    if (result.ok)
        result.ok = pass(reader, result.state, result.values.data(), result.significant.data(), zeros.data(), words,
                         d);
    result.consumed = reader.bitsConsumed();
    return result;
}

}  // namespace

TEST(SignificancePass, AllBuildsAgree) {
    if (!significancePassFastAvailable()) GTEST_SKIP() << "the processor has no fast bit instructions";
    std::mt19937 random(17);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t groupSize = trial % 3 == 0 ? 16 : trial % 3 == 1 ? 2048 : 528;
        std::vector<int16_t> values(size_t(groupSize), 0);
        // Some coefficients already significant, at a density that varies.
        const uint32_t density = random() % 100;
        for (auto& v : values)
            if (random() % 100 < density) v = int16_t(random() % 2 ? 64 : -64);
        std::vector<uint8_t> bits(4096);
        // Mostly zero bits give long runs, mostly one bits short ones.
        const uint32_t ones = random() % 100;
        for (auto& b : bits) {
            uint8_t byte = 0;
            for (int i = 0; i < 8; ++i) byte = uint8_t(byte * 2 + (random() % 100 < ones));
            b = byte;
        }
        PassResult portable = runPass(significancePassPortable, bits, values, groupSize, 8);
        std::vector<PassResult> others = {runPass(significancePassFast, bits, values, groupSize, 8)};
        if (significancePassAvx512Available())
            others.push_back(runPass(significancePassAvx512, bits, values, groupSize, 8));
        for (const PassResult& fast : others) {
            ASSERT_EQ(portable.ok, fast.ok) << "trial " << trial;
            EXPECT_EQ(portable.values, fast.values) << "trial " << trial;
            EXPECT_EQ(portable.significant, fast.significant) << "trial " << trial;
            EXPECT_EQ(portable.consumed, fast.consumed) << "trial " << trial;
            EXPECT_EQ(portable.state.zeroRun, fast.state.zeroRun);
            EXPECT_EQ(portable.state.riceParameter, fast.state.riceParameter);
            EXPECT_EQ(portable.state.pendingValue, fast.state.pendingValue);
        }
    }
}

TEST(SignificancePass, PortablePlacesWhereTheRunEnds) {
    // 16 coefficients, the third already significant. Code 1 10 with k = 1:
    // skip one zero, +d on the next (index 1); k = 0: code 1 1: run 0, -d on
    // index 3 (index 2 is significant); then 0 codes to the end.
    std::vector<int16_t> values(16, 0);
    values[2] = 40;
    std::vector<uint8_t> bits = {0xD8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};  // 110 11 000...
    PassResult result = runPass(significancePassPortable, bits, values, 16, 4);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.values[0], 0);
    EXPECT_EQ(result.values[1], 4);
    EXPECT_EQ(result.values[2], 40);
    EXPECT_EQ(result.values[3], -4);
    for (int i = 4; i < 16; ++i) EXPECT_EQ(result.values[size_t(i)], 0);
    EXPECT_EQ(result.significant[0] & 0xFFFF, uint64_t(0xE));
}

namespace {

struct RefinementResult {
    std::vector<int16_t> values;
    int64_t consumed;
};

template <typename Pass>
RefinementResult runRefinement(Pass pass, std::vector<uint8_t> bits, std::vector<int16_t> values,
                               const std::vector<uint64_t>& refinable, int32_t d) {
    MemoryStream stream(bits.data(), int32_t(bits.size()), 0);
    BitReader reader;
    reader.attach(&stream);
    pass(reader, values.data(), refinable.data(), int32_t(refinable.size()), d);
    return RefinementResult{values, reader.bitsConsumed()};
}

}  // namespace

TEST(RefinementPass, PortableReadsOneBitPerMarkedCoefficient) {
    // Coefficients 0 (+8), 3 (-8) and 5 (+12) marked; bits 1 1 0: +8 -> 12, -8 -> -12, 12 stays.
    std::vector<int16_t> values(64, 0);
    values[0] = 8;
    values[3] = -8;
    values[5] = 12;
    values[7] = 4;  // placed in this plane: not marked, not refined
    std::vector<uint64_t> refinable = {0x29};
    RefinementResult result = runRefinement(refinementPassPortable, {0xC0, 0, 0, 0}, values, refinable, 4);
    EXPECT_EQ(result.values[0], 12);
    EXPECT_EQ(result.values[3], -12);
    EXPECT_EQ(result.values[5], 12);
    EXPECT_EQ(result.values[7], 4);
    EXPECT_EQ(result.consumed, 3);
}

TEST(RefinementPass, AllBuildsAgree) {
    if (!significancePassFastAvailable()) GTEST_SKIP() << "the processor has no fast bit instructions";
    std::mt19937 random(23);
    for (int trial = 0; trial < 200; ++trial) {
        const int32_t words = 1 + int32_t(random() % 40);
        std::vector<int16_t> values(size_t(words) * 64, 0);
        std::vector<uint64_t> refinable(size_t(words), 0);
        const uint32_t density = random() % 101;
        for (int32_t i = 0; i < words * 64; ++i)
            if (random() % 100 < density) {
                values[size_t(i)] = int16_t(random() % 2 ? 16 + random() % 100 : -16 - int(random() % 100));
                refinable[size_t(i / 64)] |= uint64_t(1) << (i % 64);
            }
        std::vector<uint8_t> bits(1024);
        for (auto& b : bits) b = uint8_t(random());
        RefinementResult portable = runRefinement(refinementPassPortable, bits, values, refinable, 8);
        RefinementResult fast = runRefinement(refinementPassFast, bits, values, refinable, 8);
        EXPECT_EQ(portable.values, fast.values) << "trial " << trial;
        EXPECT_EQ(portable.consumed, fast.consumed) << "trial " << trial;
        if (refinementAvx512Available()) {
            RefinementResult wide = runRefinement(refinementPassAvx512, bits, values, refinable, 8);
            EXPECT_EQ(portable.values, wide.values) << "trial " << trial;
            EXPECT_EQ(portable.consumed, wide.consumed) << "trial " << trial;
        }
    }
}
