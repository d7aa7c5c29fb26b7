// The significance pass with the processor's bit instructions (popcnt, pdep,
// tzcnt, lzcnt) and the AVX encoding of its vector instructions. Compiled
// for them and only called when the processor has them.
#include <immintrin.h>

#include "codec/significance_pass.h"

namespace {

inline int32_t countBits(uint64_t v) { return int32_t(_mm_popcnt_u64(v)); }

// Position of set bit number n (0-based) of v, which has more than n set bits.
inline int32_t selectBit(uint64_t v, int32_t n) { return int32_t(_tzcnt_u64(_pdep_u64(uint64_t(1) << n, v))); }

struct ReverseTable {
    uint8_t bits[256];
};

// Built at compile time: this file may run no code before the processor check.
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

}  // namespace

#include "codec/significance_pass_body.h"

// Up to 24 refinement bits are read at once and deposited onto the positions
// they belong to; only the coefficients whose bit is 1 are then visited.
void refinementPassFast(BitReader& source, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                        int32_t d) {
    BitWindow reader(source);
    for (int32_t word = 0; word < groupWords; ++word) {
        uint64_t bits = refinable[word];
        while (bits != 0) {
            uint64_t chunk = bits;
            int32_t count = int32_t(_mm_popcnt_u64(bits));
            if (count > 24) {
                chunk = bits & (_pdep_u64(uint64_t(1) << 24, bits) - 1);  // the lowest 24 positions
                count = 24;
            }
            // The first bit read belongs to the lowest position.
            const uint32_t read = reader.readBits(count);
            uint64_t ones = _pdep_u64(reverse32(read) >> (32 - count), chunk);
            while (ones != 0) {
                const int32_t index = word * 64 + int32_t(_tzcnt_u64(ones));
                ones &= ones - 1;
                const int32_t x = values[index];
                const int32_t sign = x >> 31;
                values[index] = int16_t(x + ((d ^ sign) - sign));
            }
            bits &= ~chunk;
        }
    }
    reader.close();
}

bool significancePassFast(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                          const uint64_t* before, int32_t* zerosBefore, int32_t groupWords, int32_t d) {
    return significancePassBody(reader, run, values, significant, before, zerosBefore, groupWords, d);
}

int32_t countSetBitsFast(const uint64_t* words, int32_t count) {
    int32_t total = 0;
    for (int32_t w = 0; w < count; ++w) total += countBits(words[w]);
    return total;
}
