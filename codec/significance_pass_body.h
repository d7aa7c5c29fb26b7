// The body of the significance pass, compiled once for any processor and once
// with its bit instructions (significance_pass_fast.cpp). The including file
// defines countBits and findZero in an unnamed namespace first; everything
// here stays local to it, so the two compilations never mix.
#pragma once

#include "codec/significance_pass.h"

namespace {

// Reads one run code. Both kinds are decoded without a branch on the flag
// bit, which is as good as random. f = 0: 2^k coefficients stay zero, k + 1.
// f = 1: the next k + 1 bits hold the run (upper k bits) and the sign, k - 1.
inline __attribute__((always_inline)) bool readRunCodeInline(BitReader& reader, RunState& state, int32_t d) {
    const int32_t k = state.riceParameter;
    const uint64_t bits = reader.peek25();
    const int32_t f = int32_t(bits >> 63);
    // A run longer than the group ends the pass long before k reaches 30;
    // a code of more than 24 bits is not in the format.
    if (k > 30 || (f != 0 && k > 23)) return false;
    const int32_t width = (k > 23 ? 23 : k) + 1;
    const uint32_t v = uint32_t((bits << 1) >> (64 - width));
    const int32_t isOne = -f;  // all ones for f = 1
    const int32_t sign = -int32_t(v & 1);
    state.pendingValue = ((d ^ sign) - sign) & isOne;
    state.zeroRun = (int32_t(v >> 1) & isOne) | (int32_t((uint32_t(1) << k) - 1) & ~isOne);
    state.riceParameter = f != 0 ? k - (k > 0) : k + 1;
    reader.skip(1 + ((k + 1) & isOne));
    return true;
}

// Reads the code that follows a placement. A string of 0 bits is a string of
// codes that each leave 2^k coefficients at zero (k growing by one per code);
// they are taken together, as one run ending in a pending 0, as far as they
// fit into the remaining zero coefficients. The first code that does not fit
// is still read, as it would be alone, and its run then outlasts the pass.
inline __attribute__((always_inline)) bool readCodesAfterPlacement(BitReader& reader, RunState& state, int32_t d,
                                                                   int32_t remaining) {
    const uint64_t bits = reader.peek25();
    if ((bits >> 63) != 0) return readRunCodeInline(reader, state, d);
    const int32_t k = state.riceParameter;
    if (k > 30) return false;
    // The zero codes in sight (at least 25 bits are), each with k at most 30.
    int32_t codes = bits == 0 ? 25 : __builtin_clzll(bits);
    if (codes > 25) codes = 25;
    if (codes > 31 - k) codes = 31 - k;
    // m codes cover 2^k (2^m - 1) coefficients; how many fit?
    const int32_t fitting = 63 - __builtin_clzll(uint64_t(int64_t(remaining) >> k) + 1);
    const int32_t taken = fitting >= codes ? codes : fitting + 1;
    const int64_t covered = ((int64_t(1) << taken) - 1) << k;
    state.pendingValue = 0;
    state.zeroRun = covered - 1 > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(covered - 1);
    state.riceParameter = k + taken;
    reader.skip(taken);
    return true;
}

// The significance pass over a group in visiting order. The word of the
// bitmap being worked on stays in a register (written back when the pass
// moves on); the restrict qualifiers tell the compiler that the bitmap and
// values do not overlap the bit reader, which then stays in registers too.
inline __attribute__((always_inline)) bool significancePassBody(BitReader& reader, RunState& run,
                                                                int16_t* __restrict values,
                                                                uint64_t* __restrict significant, int32_t groupSize,
                                                                int32_t groupWords, int32_t d) {
    (void)groupSize;  // positions past the group are marked significant, so no run ends there
    RunState state = run;
    // Zero coefficients not yet visited; a run that reaches past them ends the pass.
    int32_t remaining = 0;
    for (int32_t w = 0; w < groupWords; ++w) remaining += countBits(~significant[w]);
    int32_t word = 0;
    uint64_t bits = significant[0];
    int32_t offset = 0;  // first position of the word not yet visited
    bool ok = true;
    while (state.zeroRun < remaining) {
        // Find the zero coefficient that ends the current run: skip zeroRun
        // zero coefficients, a word of the bitmap at a time.
        uint64_t zeros = ~bits & (~uint64_t(0) << offset);
        int32_t skip = state.zeroRun;
        int32_t bit = findZero(zeros, skip);
        while (bit < 0) {
            skip -= countBits(zeros);
            significant[word] = bits;
            bits = significant[++word];
            zeros = ~bits;
            bit = findZero(zeros, skip);
        }
        remaining -= state.zeroRun + 1;
        // A pending 0 leaves the coefficient as it was: zero and not significant.
        values[word * 64 + bit] = int16_t(state.pendingValue);
        bits |= uint64_t(state.pendingValue != 0) << bit;
        if (!readCodesAfterPlacement(reader, state, d, remaining)) {
            ok = false;
            break;
        }
        offset = bit + 1;
        if (offset == 64) {
            significant[word] = bits;
            if (++word == groupWords) break;  // nothing remains
            bits = significant[word];
            offset = 0;
        }
    }
    if (word < groupWords) significant[word] = bits;
    run = state;
    return ok;
}

}  // namespace
