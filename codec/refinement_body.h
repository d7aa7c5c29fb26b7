// The refinement pass with the processor's bit instructions, compiled in
// significance_pass_fast.cpp (which visits the coefficients to move one by
// one) and in refinement_avx512.cpp (which moves a word's coefficients with
// two masked vector additions). Everything here stays local to the
// including file, so the compilations never mix.
#pragma once

#include <immintrin.h>

#include "codec/bit_reader.h"

namespace {

struct ReverseTable {
    uint8_t bits[256];
};

// Built at compile time: the including files may run no code before the
// processor check.
constexpr ReverseTable makeReverseTable() {
    ReverseTable table{};
    for (int b = 0; b < 256; ++b) {
        int reversed = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) reversed |= 1 << (7 - i);
        table.bits[b] = uint8_t(reversed);
    }
    return table;
}
constexpr ReverseTable kReverse = makeReverseTable();

inline uint32_t reverse32(uint32_t v) {
    return (uint32_t(kReverse.bits[v & 0xFF]) << 24) | (uint32_t(kReverse.bits[(v >> 8) & 0xFF]) << 16) |
           (uint32_t(kReverse.bits[(v >> 16) & 0xFF]) << 8) | uint32_t(kReverse.bits[v >> 24]);
}

// One word's refinement bits, read up to 24 at a time and deposited onto
// the positions they belong to (the first bit read on the lowest position);
// then moveAway(word, ones) moves the coefficients whose bit is 1.
template <typename MoveAway>
inline __attribute__((always_inline)) void refineWord(BitWindow& reader, int32_t word, uint64_t bits,
                                                      MoveAway& moveAway) {
    uint64_t ones = 0;
    while (bits != 0) {
        uint64_t chunk = bits;
        int32_t count = int32_t(_mm_popcnt_u64(bits));
        if (count > 24) {
            chunk = bits & (_pdep_u64(uint64_t(1) << 24, bits) - 1);  // the lowest 24 positions
            count = 24;
        }
        const uint32_t read = reader.readBits(count);
        ones |= _pdep_u64(reverse32(read) >> (32 - count), chunk);
        bits &= ~chunk;
    }
    if (ones != 0) moveAway(word, ones);
}

// The refinement pass over a group: each word's bits go through refineWord
// to moveAway(word, ones), which moves the coefficients whose bit is 1 one
// step d further from zero.
template <typename MoveAway>
inline __attribute__((always_inline)) void refinementBody(BitReader& source, const uint64_t* refinable,
                                                          int32_t groupWords, MoveAway moveAway) {
    BitWindow reader(source);
    // Only the words with coefficients to refine are visited, found from a
    // mask of them: a test of each word would be a branch that is often
    // mispredicted.
    for (int32_t first = 0; first < groupWords; first += 64) {
        const int32_t count = groupWords - first < 64 ? groupWords - first : 64;
        uint64_t words = 0;
        for (int32_t w = 0; w < count; ++w) words |= uint64_t(refinable[first + w] != 0) << w;
        for (; words != 0; words &= words - 1) {
            const int32_t word = first + int32_t(_tzcnt_u64(words));
            refineWord(reader, word, refinable[word], moveAway);
        }
    }
    reader.close();
}

}  // namespace
