// The significance pass with the processor's bit instructions (popcnt, pdep,
// tzcnt). Compiled for them and only called when the processor has them.
#include <immintrin.h>

#include "codec/significance_pass.h"

namespace {

inline int32_t countBits(uint64_t v) { return int32_t(_mm_popcnt_u64(v)); }

// Position of set bit number n (0-based) of v, or -1 when v has no more than
// n set bits: pdep leaves nothing then, and no count is needed on the way.
inline int32_t findZero(uint64_t v, int32_t n) {
    if (n >= 64) return -1;
    const uint64_t placed = _pdep_u64(uint64_t(1) << n, v);
    return placed != 0 ? int32_t(_tzcnt_u64(placed)) : -1;
}

}  // namespace

#include "codec/significance_pass_body.h"

bool significancePassFast(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                          int32_t groupSize, int32_t groupWords, int32_t d) {
    return significancePassBody(reader, run, values, significant, groupSize, groupWords, d);
}
