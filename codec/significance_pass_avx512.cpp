// The significance pass with AVX-512: as the build with the processor's bit
// instructions, but the word that holds a coefficient is found by comparing
// the zero counts of all 32 words in one register. Compiled for AVX-512 (F,
// BW and VL) and the bit instructions, and only called when the processor
// has them; Windows builds leave it out, as they do the other 512-bit paths.
#include "codec/significance_pass.h"

#if defined(__AVX512BW__) && defined(__BMI2__) && defined(__LZCNT__) && !defined(_WIN32)

#include <immintrin.h>

namespace {

inline int32_t countBits(uint64_t v) { return int32_t(_mm_popcnt_u64(v)); }

// Position of set bit number n (0-based) of v, which has more than n set bits.
inline int32_t selectBit(uint64_t v, int32_t n) { return int32_t(_tzcnt_u64(_pdep_u64(uint64_t(1) << n, v))); }

}  // namespace

#include "codec/significance_pass_body.h"

namespace {

// The words of a group of at most 32 words, found by one comparison of
// their 16-bit zero counts.
class WordsInOneRegister {
public:
    static const int32_t kMaxWords = 32;

    WordsInOneRegister(const WordZeros* words, int32_t count) {
        const CountLanes counts(words, count);
        counts_ = _mm512_loadu_si512(counts.lanes);
    }
    int32_t find(int32_t number) const {
        // Bit w is set for the words with more than `number` zeros before
        // them; word 0 has none before it.
        const uint64_t above = _mm512_cmpgt_epi16_mask(counts_, _mm512_set1_epi16(int16_t(number)));
        return int32_t(_tzcnt_u64(above | (uint64_t(1) << 32))) - 1;
    }

private:
    __m512i counts_;
};

}  // namespace

bool significancePassAvx512Compiled() { return true; }

bool significancePassAvx512(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                            WordZeros* zeros, int32_t groupWords, int32_t d) {
    return significancePassBody<WordsInOneRegister>(reader, run, values, significant, zeros, groupWords, d);
}

#else

bool significancePassAvx512Compiled() { return false; }

bool significancePassAvx512(BitReader&, RunState&, int16_t*, uint64_t*, WordZeros*, int32_t, int32_t) {
    return false;
}

#endif
