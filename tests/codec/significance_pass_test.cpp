// The builds of the significance and refinement passes (portable, with the
// processor's bit instructions, 512-bit) against each other; the one the
// decoder runs is checked against the reference decoder.
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
        result.ok = pass(reader, result.state, result.values.data(), result.significant.data(), zeros.data(), words, d);
    result.consumed = reader.bitsConsumed();
    return result;
}

template <typename Pass>
std::pair<std::vector<int16_t>, int64_t> runRefinement(Pass pass, std::vector<uint8_t> bits, std::vector<int16_t> values,
                                                       const std::vector<uint64_t>& refinable, int32_t d) {
    MemoryStream stream(bits.data(), int32_t(bits.size()), 0);
    BitReader reader;
    reader.attach(&stream);
    pass(reader, values.data(), refinable.data(), int32_t(refinable.size()), d);
    return {values, reader.bitsConsumed()};
}

}  // namespace

TEST(SignificancePass, AllBuildsAgree) {
    if (!significancePassFastAvailable()) GTEST_SKIP() << "the processor has no fast bit instructions";
    std::mt19937 random(17);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const int32_t groupSize = trial % 3 == 0 ? 16 : trial % 3 == 1 ? 2048 : 528;
        std::vector<int16_t> values(size_t(groupSize), 0);
        // Some coefficients already significant, at a density that varies.
        const uint32_t density = random() % 100;
        for (auto& v : values)
            if (random() % 100 < density) v = int16_t(random() % 2 ? 64 : -64);
        // Mostly zero bits give long runs, mostly one bits short ones.
        std::vector<uint8_t> bits(4096);
        const uint32_t ones = random() % 100;
        for (auto& b : bits)
            for (int i = 0; i < 8; ++i) b = uint8_t(b * 2 + (random() % 100 < ones));
        PassResult portable = runPass(significancePassPortable, bits, values, groupSize, 8);
        std::vector<PassResult> others = {runPass(significancePassFast, bits, values, groupSize, 8)};
        if (significancePassAvx512Available()) others.push_back(runPass(significancePassAvx512, bits, values, groupSize, 8));
        for (const PassResult& fast : others) {
            ASSERT_EQ(portable.ok, fast.ok);
            EXPECT_EQ(portable.values, fast.values);
            EXPECT_EQ(portable.significant, fast.significant);
            EXPECT_EQ(portable.consumed, fast.consumed);
            EXPECT_EQ(portable.state.zeroRun, fast.state.zeroRun);
            EXPECT_EQ(portable.state.riceParameter, fast.state.riceParameter);
            EXPECT_EQ(portable.state.pendingValue, fast.state.pendingValue);
        }
    }
}

TEST(RefinementPass, AllBuildsAgree) {
    if (!significancePassFastAvailable()) GTEST_SKIP() << "the processor has no fast bit instructions";
    std::mt19937 random(23);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
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
        const auto portable = runRefinement(refinementPassPortable, bits, values, refinable, 8);
        EXPECT_EQ(portable, runRefinement(refinementPassFast, bits, values, refinable, 8));
        if (refinementAvx512Available()) {
            EXPECT_EQ(portable, runRefinement(refinementPassAvx512, bits, values, refinable, 8));
        }
    }
}
