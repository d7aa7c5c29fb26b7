// The significance pass for any processor: bit counts and selection by
// broadword arithmetic.
#include "codec/significance_pass.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

const uint64_t kOnes8 = 0x0101010101010101ull;

inline int32_t countBits(uint64_t v) {
#ifdef __POPCNT__
    return __builtin_popcountll(v);
#else
    v = v - ((v >> 1) & 0x5555555555555555ull);
    v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int32_t((v * kOnes8) >> 56);
#endif
}

// selectInByte[b + 256 * n]: position of set bit number n of the byte b.
struct ByteSelect {
    uint8_t position[256 * 8];
    ByteSelect() {
        for (int b = 0; b < 256; ++b)
            for (int n = 0; n < 8; ++n) {
                int seen = 0, at = 0;
                for (int bit = 0; bit < 8; ++bit)
                    if (b & (1 << bit)) {
                        if (seen == n) at = bit;
                        ++seen;
                    }
                position[b + 256 * n] = uint8_t(at);
            }
    }
};
const ByteSelect byteSelect;

// Position of set bit number n (0-based) of v, which has more than n set bits:
// byte-wise prefix counts find the byte, a table the bit within it.
inline int32_t selectBit(uint64_t v, int32_t n) {
    uint64_t s = v - ((v >> 1) & 0x5555555555555555ull);
    s = (s & 0x3333333333333333ull) + ((s >> 2) & 0x3333333333333333ull);
    s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    const uint64_t sums = s * kOnes8;  // byte i: set bits in bytes 0 .. i
    const uint64_t highBits = 0x80 * kOnes8;
    // Bytes whose prefix count is at most n have their high bit set.
    const uint64_t atMost = ((uint64_t(n) * kOnes8 | highBits) - sums) & highBits;
    const int32_t place = int32_t((((atMost >> 7) * kOnes8) >> 56) * 8);
    const int32_t before = int32_t(((sums << 8) >> place) & 0xFF);
    return place + byteSelect.position[((v >> place) & 0xFF) + 256 * uint32_t(n - before)];
}

}  // namespace

#include "codec/significance_pass_body.h"

bool readRunCode(BitReader& reader, RunState& state, int32_t d) { return readRunCodeInline(reader, state, d); }

bool significancePassPortable(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                              WordZeros* zeros, int32_t groupWords, int32_t d) {
    return significancePassBody(reader, run, values, significant, zeros, groupWords, d);
}

void refinementPassPortable(BitReader& source, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                            int32_t d) {
    BitWindow reader(source);
    for (int32_t word = 0; word < groupWords; ++word) {
        uint64_t bits = refinable[word];
        while (bits != 0) {
            const int32_t index = word * 64 + __builtin_ctzll(bits);
            bits &= bits - 1;
            const int32_t x = values[index];
            const int32_t sign = x >> 31;
            const int32_t bit = int32_t(reader.readBits(1));
            values[index] = int16_t(x + (((d ^ sign) - sign) & -bit));
        }
    }
    reader.close();
}

int32_t countSetBitsPortable(const uint64_t* words, int32_t count) {
    int32_t total = 0;
    for (int32_t w = 0; w < count; ++w) total += countBits(words[w]);
    return total;
}

namespace {

// Not every compiler can ask for lzcnt by name: extended leaf 0x80000001, ECX bit 5.
bool hasLzcnt() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) && (ecx & (1u << 5)) != 0;
#else
    return false;
#endif
}

}  // namespace

bool significancePassFastAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    // Zen 1 and 2 and the older AMD cores run pdep in microcode, far slower
    // than the portable selection.
    static const bool available = __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi2") &&
                                  hasLzcnt() && __builtin_cpu_supports("avx") &&
                                  !__builtin_cpu_is("znver1") && !__builtin_cpu_is("znver2") &&
                                  !__builtin_cpu_is("amdfam15h") && !__builtin_cpu_is("amdfam10h");
    return available;
#else
    return false;
#endif
}

namespace {

// What the 512-bit builds of the two passes need beyond the bit instructions.
bool avx512ForBitPlanes() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool available = significancePassFastAvailable() && __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    return available;
#else
    return false;
#endif
}

}  // namespace

bool significancePassAvx512Available() { return significancePassAvx512Compiled() && avx512ForBitPlanes(); }

bool refinementAvx512Available() { return refinementAvx512Compiled() && avx512ForBitPlanes(); }
