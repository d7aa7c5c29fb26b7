// The body of the significance pass, compiled once for any processor and once
// with its bit instructions (significance_pass_fast.cpp). The including file
// defines countBits and selectBit in an unnamed namespace first; everything
// here stays local to it, so the two compilations never mix.
#pragma once

#include <emmintrin.h>

#include "codec/significance_pass.h"

namespace {

// Reads one run code. Both kinds are decoded without a branch on the flag
// bit, which is as good as random. f = 0: 2^k coefficients stay zero, k + 1.
// f = 1: the next k + 1 bits hold the run (upper k bits) and the sign, k - 1.
template <typename Bits>
inline __attribute__((always_inline)) bool readRunCodeInline(Bits& reader, RunState& state, int32_t d) {
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
// Both kinds of code are worked out and one is chosen, without a branch on
// the flag bit.
template <typename Bits>
inline __attribute__((always_inline)) bool readCodesAfterPlacement(Bits& reader, RunState& state, int32_t d,
                                                                   int32_t remaining) {
    const int32_t k = state.riceParameter;
    // Beyond 23 only the rare, checked path of a single code is safe.
    if (k > 23) return readRunCodeInline(reader, state, d);
    const uint64_t bits = reader.peek25();
    const bool one = (bits >> 63) != 0;

    // f = 1: k run bits and a sign bit follow.
    const uint32_t v = uint32_t((bits << 1) >> (63 - k));
    const int32_t sign = -int32_t(v & 1);
    const int32_t oneRun = int32_t(v >> 1);
    const int32_t onePending = (d ^ sign) - sign;
    const int32_t oneK = k - (k > 0);

    // f = 0: the zero codes in sight (at least 25 bits are); m codes cover
    // 2^k (2^m - 1) coefficients. How many fit? The codes taken cover at most
    // twice the remaining zeros (fewer than 2^18 in a group) and 2^k more,
    // so their run stays far inside 32 bits.
    const int32_t codes = __builtin_clzll(bits | (uint64_t(1) << 38));
    const int32_t fitting = 63 - __builtin_clzll(uint64_t(uint32_t(remaining) >> k) + 1);
    const int32_t taken = fitting >= codes ? codes : fitting + 1;
    const int32_t zeroRun = int32_t(((uint64_t(1) << taken) - 1) << k) - 1;

    // Chosen by masks: a conditional here becomes a branch, mispredicted a
    // third of the time.
    const int32_t isOne = -int32_t(one);
    state.pendingValue = onePending & isOne;
    state.zeroRun = (oneRun & isOne) | (zeroRun & ~isOne);
    state.riceParameter = (oneK & isOne) | ((k + taken) & ~isOne);
    reader.skip(((k + 2) & isOne) | (taken & ~isOne));
    return true;
}

// Finds the word that holds the zero coefficient with a given number: the
// last word with at most that many zeros before it. For any number of words;
// the numbers only grow within a pass, so the search goes on from the last.
class WordsByScan {
public:
    WordsByScan(const int32_t* zerosBefore, int32_t words) : zerosBefore_(zerosBefore), words_(words), word_(0) {}
    int32_t find(int32_t number) {
        while (word_ + 1 < words_ && zerosBefore_[word_ + 1] <= number) ++word_;
        return word_;
    }

private:
    const int32_t* zerosBefore_;
    int32_t words_;
    int32_t word_;
};

// The same for groups of at most 32 words (2048 coefficients, as in the
// show's pictures): every count is compared at once, in 16-bit lanes, and
// the word found without a branch that could be mispredicted.
class WordsByCount {
public:
    static const int32_t kMaxWords = 32;

    WordsByCount(const int32_t* zerosBefore, int32_t words) {
        alignas(16) int16_t counts[kMaxWords];
        for (int32_t w = 0; w < kMaxWords; ++w) counts[w] = w < words ? int16_t(zerosBefore[w]) : int16_t(0x7FFF);
        for (int32_t i = 0; i < 4; ++i) counts_[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(counts) + i);
    }
    int32_t find(int32_t number) {
        const __m128i n = _mm_set1_epi16(int16_t(number));
        const uint32_t low = uint32_t(_mm_movemask_epi8(
            _mm_packs_epi16(_mm_cmpgt_epi16(counts_[0], n), _mm_cmpgt_epi16(counts_[1], n))));
        const uint32_t high = uint32_t(_mm_movemask_epi8(
            _mm_packs_epi16(_mm_cmpgt_epi16(counts_[2], n), _mm_cmpgt_epi16(counts_[3], n))));
        // Bit w is set for the words with more than `number` zeros before
        // them; word 0 has none before it.
        const uint64_t above = uint64_t(low | (high << 16)) | (uint64_t(1) << 32);
        return int32_t(__builtin_ctzll(above)) - 1;
    }

private:
    __m128i counts_[4];
};

// The code that follows a placement, as far as the bits in sight tell: an
// f = 1 code, or all the zero codes in sight at once, however far they reach.
// Nothing here waits on the coefficient numbers of the pass, which keeps the
// chain from one code to the next short; placeRuns reads the codes exactly
// with readCodesAfterPlacement when they would reach past the pass's end.
struct CodesInSight {
    int64_t step;  // how far the coefficient number moves: the run and one
    int32_t length;
    int32_t riceParameter;
    int32_t pendingValue;
};

// bits: at least 25 bits in sight; k is at most 23.
inline __attribute__((always_inline)) CodesInSight codesInSight(uint64_t bits, int32_t k, int32_t d) {
    const bool one = (bits >> 63) != 0;
    const uint32_t v = uint32_t((bits << 1) >> (63 - k));
    const int32_t sign = -int32_t(v & 1);
    // At most 25 zero codes, covering 2^k (2^codes - 1) coefficients.
    const int32_t codes = __builtin_clzll(bits | (uint64_t(1) << 38));
    // Chosen by masks: a conditional here becomes a branch, mispredicted a
    // third of the time.
    const int32_t isOne = -int32_t(one);
    const int64_t isOneWide = isOne;
    const int64_t oneStep = int64_t(v >> 1) + 1;
    const int64_t zeroStep = int64_t(((uint64_t(1) << codes) - 1) << k);
    CodesInSight next;
    next.step = (oneStep & isOneWide) | (zeroStep & ~isOneWide);
    next.length = ((k + 2) & isOne) | (codes & ~isOne);
    next.riceParameter = ((k - (k > 0)) & isOne) | ((k + codes) & ~isOne);
    next.pendingValue = ((d ^ sign) - sign) & isOne;
    return next;
}

// Places the pending values of a pass's runs; see significancePassBody.
template <typename Words>
inline __attribute__((always_inline)) bool placeRuns(BitWindow& reader, RunState& state, Words words,
                                                     int16_t* __restrict values, uint64_t* __restrict significant,
                                                     const uint64_t* __restrict before,
                                                     const int32_t* __restrict zerosBefore, int32_t total,
                                                     int32_t d) {
    int32_t number = state.zeroRun;
    if (number >= total) return true;
    for (;;) {
        const int32_t w = words.find(number);
        const int32_t bit = selectBit(~before[w], number - zerosBefore[w]);
        values[w * 64 + bit] = int16_t(state.pendingValue);
        significant[w] |= uint64_t(state.pendingValue != 0) << bit;

        if (state.riceParameter > 23) return readCodesAfterPlacement(reader, state, d, total - number - 1);
        const CodesInSight next = codesInSight(reader.peek25(), state.riceParameter, d);
        // The pass ends within these codes: read them as far as they belong to it.
        if (number + next.step >= total) return readCodesAfterPlacement(reader, state, d, total - number - 1);
        reader.skip(next.length);
        state.riceParameter = next.riceParameter;
        state.pendingValue = next.pendingValue;
        number += int32_t(next.step);
    }
}

// The significance pass over a group in visiting order. The coefficients
// that are zero when the pass starts are numbered in visiting order; each run
// code moves this number on by its run and one, and the coefficient it names
// takes the pending value. Only the number and the reader carry from one code
// to the next, so finding the coefficient (its word from the words' counts of
// zeros, then the bit within the word) never holds up the next code.
inline __attribute__((always_inline)) bool significancePassBody(BitReader& source, RunState& run,
                                                                int16_t* __restrict values,
                                                                uint64_t* __restrict significant,
                                                                const uint64_t* __restrict before,
                                                                int32_t* __restrict zerosBefore,
                                                                int32_t groupWords, int32_t d) {
    // Zeros in the words before each word; the padding past the group is
    // marked significant and so not counted.
    int32_t total = 0;
    for (int32_t w = 0; w < groupWords; ++w) {
        zerosBefore[w] = total;
        total += countBits(~significant[w]);
    }
    BitWindow reader(source);
    RunState state = run;
    const bool ok = groupWords <= WordsByCount::kMaxWords
                        ? placeRuns(reader, state, WordsByCount(zerosBefore, groupWords), values, significant, before,
                                    zerosBefore, total, d)
                        : placeRuns(reader, state, WordsByScan(zerosBefore, groupWords), values, significant, before,
                                    zerosBefore, total, d);
    reader.close();
    run = state;
    return ok;
}

}  // namespace
