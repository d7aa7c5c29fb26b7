// The body of the significance pass, compiled once for any processor, once
// with its bit instructions (significance_pass_fast.cpp) and once more with
// AVX-512 (significance_pass_avx512.cpp). The including file defines
// countBits and selectBit in an unnamed namespace first; everything here
// stays local to it, so the compilations never mix.
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
    WordsByScan(const WordZeros* words, int32_t count) : words_(words), count_(count), word_(0) {}
    int32_t find(int32_t number) {
        while (word_ + 1 < count_ && words_[word_ + 1].before <= number) ++word_;
        return word_;
    }

private:
    const WordZeros* words_;
    int32_t count_;
    int32_t word_;
};

// The zero counts of a group of at most 32 words as 16-bit lanes; the
// lanes past the group hold more zeros than any number.
struct alignas(16) CountLanes {
    int16_t lanes[32];
    CountLanes(const WordZeros* words, int32_t count) {
        for (int32_t w = 0; w < 32; ++w) lanes[w] = w < count ? int16_t(words[w].before) : int16_t(0x7FFF);
    }
};

// The same for groups of at most 32 words (2048 coefficients, as in the
// show's pictures): every count is compared at once, in 16-bit lanes, and
// the word found without a branch that could be mispredicted.
class WordsByCount {
public:
    static const int32_t kMaxWords = 32;

    WordsByCount(const WordZeros* words, int32_t count) {
        const CountLanes counts(words, count);
        for (int32_t i = 0; i < 4; ++i)
            counts_[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(counts.lanes) + i);
    }
    int32_t find(int32_t number) const {
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

// Gives the zero coefficient with the given number (counted as the pass
// started) its value.
template <typename Words>
inline __attribute__((always_inline)) void placeValue(Words& words, const WordZeros* __restrict zeros,
                                                      int16_t* __restrict values, uint64_t* __restrict significant,
                                                      int32_t number, int32_t value, uint64_t nonzero) {
    const int32_t w = words.find(number);
    const int32_t bit = selectBit(zeros[w].zeros, number - zeros[w].before);
    values[w * 64 + bit] = int16_t(value);
    significant[w] |= nonzero << bit;
}

// Places the values of a pass's runs exactly as the format reads them, one
// code or string of zero codes at a time; see significancePassBody.
template <typename Words>
inline __attribute__((always_inline)) bool placeRunsExactly(BitWindow& reader, RunState& state, Words& words,
                                                            int16_t* __restrict values,
                                                            uint64_t* __restrict significant,
                                                            const WordZeros* __restrict zeros, int32_t number,
                                                            int32_t total, int32_t d) {
    for (;;) {
        if (!readCodesAfterPlacement(reader, state, d, total - number - 1)) return false;
        number += state.zeroRun + 1;
        if (number >= total) return true;
        placeValue(words, zeros, values, significant, number, state.pendingValue, state.pendingValue != 0);
    }
}

// Places the pending values of a pass's runs; see significancePassBody.
// Between two placements of nonzero values the codes are one string of zero
// codes, possibly empty, and one f = 1 code; they are read together, from
// one look at the next 56 bits. Nothing of this waits on the numbers of the
// pass, which keeps the chain from one step to the next short. Where the
// codes would reach past the pass's end, placeRunsExactly reads them. The
// loop is bound by the number of its instructions, so each one counts.
template <typename Words>
inline __attribute__((always_inline)) bool placeRuns(BitWindow& reader, RunState& state, Words words,
                                                     int16_t* __restrict values, uint64_t* __restrict significant,
                                                     const WordZeros* __restrict zeros, int32_t total, int32_t d) {
    int32_t number = state.zeroRun;
    if (number >= total) return true;
    // The first value may be a 0 (after a first zero code); all later ones here are not.
    placeValue(words, zeros, values, significant, number, state.pendingValue, state.pendingValue != 0);
    // While the pass goes on k stays below 19: a group holds at most 2^18
    // coefficients, and a longer run ends the pass. Only a first k may be
    // larger.
    int32_t k = state.riceParameter;
    if (k > 23) return placeRunsExactly(reader, state, words, values, significant, zeros, number, total, d);
    for (;;) {
        const uint64_t bits = reader.peek56();
        // Up to 25 zero codes, covering 2^k (2^codes - 1) coefficients, k + codes.
        const int32_t codes = __builtin_clzll(bits | (uint64_t(1) << 38));
        const int32_t kAfterZeros = k + codes;
        // Then the f = 1 code: kAfterZeros run bits and a sign bit, k - 1.
        // Beyond the pass's end (or 25 zero codes) these bits mean nothing
        // and are not used.
        const uint64_t afterFlag = bits << codes << 1;
        const uint32_t v = uint32_t(afterFlag >> ((63 - kAfterZeros) & 63));
        const int64_t step = int64_t(((uint64_t(1) << codes) - 1) << k) + int64_t(v >> 1) + 1;
        if (number + step >= total) {
            state.riceParameter = k;
            return placeRunsExactly(reader, state, words, values, significant, zeros, number, total, d);
        }
        reader.skip(codes + kAfterZeros + 2);
        k = kAfterZeros - (kAfterZeros > 0);
        const int32_t sign = -int32_t(v & 1);
        number += int32_t(step);
        placeValue(words, zeros, values, significant, number, (d ^ sign) - sign, 1);
    }
}

// The significance pass over a group in visiting order. The coefficients
// that are zero when the pass starts are numbered in visiting order; each run
// code moves this number on by its run and one, and the coefficient it names
// takes the pending value. Only the number and the reader carry from one code
// to the next, so finding the coefficient (its word from the words' counts of
// zeros, then the bit within the word) never holds up the next code.
template <typename WordsOfSmallGroups = WordsByCount>
inline __attribute__((always_inline)) bool significancePassBody(BitReader& source, RunState& run,
                                                                int16_t* __restrict values,
                                                                uint64_t* __restrict significant,
                                                                WordZeros* __restrict zeros, int32_t groupWords,
                                                                int32_t d) {
    // The padding past the group is marked significant and so not counted.
    int32_t total = 0;
    for (int32_t w = 0; w < groupWords; ++w) {
        zeros[w].zeros = ~significant[w];
        zeros[w].before = total;
        total += countBits(zeros[w].zeros);
    }
    BitWindow reader(source);
    RunState state = run;
    const bool ok = groupWords <= WordsOfSmallGroups::kMaxWords
                        ? placeRuns(reader, state, WordsOfSmallGroups(zeros, groupWords), values, significant, zeros,
                                    total, d)
                        : placeRuns(reader, state, WordsByScan(zeros, groupWords), values, significant, zeros,
                                    total, d);
    reader.close();
    run = state;
    return ok;
}

}  // namespace
