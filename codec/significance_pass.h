#pragma once

#include <cstdint>

#include "codec/bit_reader.h"

// The run state of the coefficient decoder while one pass runs.
struct RunState {
    int32_t zeroRun;        // n
    int32_t riceParameter;  // k
    int32_t pendingValue;
};

// Reads one run code into the state; false for a code beyond 24 bits.
bool readRunCode(BitReader& reader, RunState& state, int32_t d);

// The zero coefficients of one word of a group as a pass starts, and how
// many zeros the words before it hold: the significance pass's scratch.
struct WordZeros {
    uint64_t zeros;
    int32_t before;
    int32_t unused;
};

// The significance pass over a group in visiting order. values: the group's
// coefficients; significant: one bit per coefficient, set for the nonzero
// ones and for the padding past the group, updated as the pass places values;
// zeros: room for groupWords entries. Returns false for an impossible run
// code. The second version uses the processor's bit instructions and may only
// be called when significancePassFastAvailable().
bool significancePassPortable(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                              WordZeros* zeros, int32_t groupWords, int32_t d);
bool significancePassFast(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                          WordZeros* zeros, int32_t groupWords, int32_t d);
bool significancePassFastAvailable();
// A third build with AVX-512 (significance_pass_avx512.cpp); only called
// when significancePassAvx512Available().
bool significancePassAvx512(BitReader& reader, RunState& run, int16_t* values, uint64_t* significant,
                            WordZeros* zeros, int32_t groupWords, int32_t d);
bool significancePassAvx512Available();
bool significancePassAvx512Compiled();

// A third build of the refinement pass with AVX-512 (refinement_avx512.cpp);
// only called when refinementAvx512Available().
void refinementPassAvx512(BitReader& reader, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                          int32_t d);
bool refinementAvx512Available();
bool refinementAvx512Compiled();

// The number of set bits in words[0 .. count - 1]; the same two builds.
int32_t countSetBitsPortable(const uint64_t* words, int32_t count);
int32_t countSetBitsFast(const uint64_t* words, int32_t count);

// The refinement pass: one bit for each coefficient marked in refinable (those
// that were significant before this plane's significance pass), in order; a 1
// moves the coefficient d further from zero. Same two builds as above.
void refinementPassPortable(BitReader& reader, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                            int32_t d);
void refinementPassFast(BitReader& reader, int16_t* values, const uint64_t* refinable, int32_t groupWords,
                        int32_t d);
