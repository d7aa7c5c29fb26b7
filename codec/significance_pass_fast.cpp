// The significance pass with the processor's bit instructions (popcnt, pdep,
// tzcnt, lzcnt) and the AVX encoding of its vector instructions. Compiled
// for them and only called when the processor has them.
#include <immintrin.h>

#include "codec/significance_pass.h"

namespace {

inline int32_t countBits(uint64_t v) { return int32_t(_mm_popcnt_u64(v)); }

// Position of set bit number n (0-based) of v, which has more than n set bits.
inline int32_t selectBit(uint64_t v, int32_t n) { return int32_t(_tzcnt_u64(_pdep_u64(uint64_t(1) << n, v))); }

}  // namespace

#include "codec/refinement_body.h"
#include "codec/significance_pass_body.h"

void refinementPassFast(BitReader& reader, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                        int32_t d) {
    refinementBody(reader, refinable, groupWords, [values, d](int32_t word, uint64_t ones) {
        while (ones != 0) {
            const int32_t index = word * 64 + int32_t(_tzcnt_u64(ones));
            ones &= ones - 1;
            const int32_t x = values[index];
            const int32_t sign = x >> 31;
            values[index] = int16_t(x + ((d ^ sign) - sign));
        }
    });
}

bool significancePassFast(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                          WordZeros* zeros, int32_t groupWords, int32_t d) {
    return significancePassBody(reader, run, values, significant, zeros, groupWords, d);
}

int32_t countSetBitsFast(const uint64_t* words, int32_t count) {
    int32_t total = 0;
    for (int32_t w = 0; w < count; ++w) total += countBits(words[w]);
    return total;
}
