// The colour conversion of planes in bands with AVX-512: a block of 8 x 8
// pixels is converted in two registers per plane, in the bands' own order
// (column after column), and each row of eight pixels is gathered into its
// 24 bytes with two byte permutations. Compiled for AVX-512 (F, BW, VL and
// VBMI) and only called when the processor has them; Windows builds leave
// it out, as they do the other 512-bit paths.
#include "codec/colour.h"

#if defined(__AVX512VBMI__) && defined(__AVX512BW__) && !defined(_WIN32)

#include <immintrin.h>

#include <cstddef>

#include "codec/plane_layout.h"

namespace {

// Byte positions, in the packed blue, green or red bytes of a block, of the
// pixel in column c and row i: the saturating pack interleaves the two
// halves of the block (columns 0 .. 3 and 4 .. 7) lane by lane.
constexpr int32_t packedPosition(int32_t c, int32_t i) { return c < 4 ? 16 * c + i : 16 * (c - 4) + 8 + i; }

// For row i: where each of its 24 bytes comes from. Blue and green come from
// the two tables of one two-source permutation (bit 6 picks green), red from
// a second permutation into the bytes that the mask marks. Made by the
// compiler: code of this file may only run where the processor has AVX-512,
// which a table filled at start-up would not respect.
struct RowGather {
    alignas(64) uint8_t blueGreen[8][64] = {};
    alignas(64) uint8_t red[8][64] = {};
    constexpr RowGather() {
        for (int32_t i = 0; i < 8; ++i)
            for (int32_t byte = 0; byte < 64; ++byte) {
                const int32_t c = byte / 3 < 8 ? byte / 3 : 7;
                const int32_t channel = byte % 3;
                blueGreen[i][byte] = uint8_t(packedPosition(c, i) | (channel == 1 ? 64 : 0));
                red[i][byte] = uint8_t(packedPosition(c, i));
            }
    }
};
constexpr RowGather rowGather;
const __mmask64 kRedBytes = 0x924924ull;  // bytes 2, 5, ..., 23
const __mmask64 kRowBytes = 0xFFFFFFull;

inline __m512i load(const int16_t* p) { return _mm512_loadu_si512(p); }

}  // namespace

bool colourAvx512Compiled() { return true; }

void convertBandsToBgrAvx512(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                             int32_t height, uint8_t* bgr) {
    const __m512i bias = _mm512_set1_epi8(char(0x80));
    for (int32_t row = 0; row < height; row += 8) {
        for (int32_t column = 0; column < width; column += 8) {
            const size_t at = bandIndex(row, column, width);
            __m512i packed[3];  // blue, green, red bytes of the block
            __m512i halves[2][3];
            for (int32_t h = 0; h < 2; ++h) {
                const __m512i y = _mm512_srai_epi16(load(luma + at + 32 * h), 2);
                const __m512i co = _mm512_srai_epi16(load(orange + at + 32 * h), 2);
                const __m512i cg = _mm512_srai_epi16(load(green + at + 32 * h), 2);
                const __m512i t = _mm512_sub_epi16(y, _mm512_srai_epi16(cg, 1));
                const __m512i b = _mm512_sub_epi16(t, _mm512_srai_epi16(co, 1));
                halves[h][0] = b;
                halves[h][1] = _mm512_add_epi16(cg, t);
                halves[h][2] = _mm512_add_epi16(b, co);
            }
            // The saturating pack is the clamp to -128 .. 127; adding 128 is a flip of the top bit.
            for (int32_t channel = 0; channel < 3; ++channel)
                packed[channel] =
                    _mm512_xor_si512(_mm512_packs_epi16(halves[0][channel], halves[1][channel]), bias);
            for (int32_t i = 0; i < 8; ++i) {
                const __m512i blueGreen = _mm512_permutex2var_epi8(
                    packed[0], _mm512_load_si512(rowGather.blueGreen[i]), packed[1]);
                const __m512i pixels = _mm512_mask_permutexvar_epi8(
                    blueGreen, kRedBytes, _mm512_load_si512(rowGather.red[i]), packed[2]);
                _mm512_mask_storeu_epi8(bgr + (size_t(row + i) * size_t(width) + size_t(column)) * 3, kRowBytes,
                                        pixels);
            }
        }
    }
}

#else

bool colourAvx512Compiled() { return false; }

void convertBandsToBgrAvx512(const int16_t*, const int16_t*, const int16_t*, int32_t, int32_t, uint8_t*) {}

#endif
