#include "codec/colour.h"

#include <emmintrin.h>

#include <cstring>

#include "codec/colour_body.h"
#include "codec/synthesis_lanes.h"

namespace {

inline uint8_t toByte(int32_t value) {
    if (value < -128) value = -128;
    if (value > 127) value = 127;
    return uint8_t(value + 128);
}

}  // namespace

void convertPixelToBgr(int16_t luma, int16_t orange, int16_t green, uint8_t* bgr) {
    int32_t y = luma >> 2, co = orange >> 2, cg = green >> 2;
    int32_t t = y - (cg >> 1);
    int32_t g = cg + t;
    int32_t b = t - (co >> 1);
    int32_t r = b + co;
    bgr[0] = toByte(b);
    bgr[1] = toByte(g);
    bgr[2] = toByte(r);
}

namespace {

// Writes the eight pixels as 24 bytes and a 25th, the fourth byte of the last
// pixel, which whatever follows must overwrite.
inline void storeEightAndOneMore(EightPixels pixels, uint8_t* out) {
    const uint32_t p0 = uint32_t(_mm_cvtsi128_si32(pixels.low));
    const uint32_t p1 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 4)));
    const uint32_t p2 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 8)));
    const uint32_t p3 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.low, 12)));
    const uint32_t p4 = uint32_t(_mm_cvtsi128_si32(pixels.high));
    const uint32_t p5 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 4)));
    const uint32_t p6 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 8)));
    const uint32_t p7 = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels.high, 12)));
    std::memcpy(out, &p0, 4);
    std::memcpy(out + 3, &p1, 4);
    std::memcpy(out + 6, &p2, 4);
    std::memcpy(out + 9, &p3, 4);
    std::memcpy(out + 12, &p4, 4);
    std::memcpy(out + 15, &p5, 4);
    std::memcpy(out + 18, &p6, 4);
    std::memcpy(out + 21, &p7, 4);
}

// Writes exactly the 24 bytes of the eight pixels: two pixels per 64-bit
// word, each with its zero fourth byte, repacked into three words.
inline void storeEight(EightPixels pixels, uint8_t* out) {
    const uint64_t p01 = uint64_t(_mm_cvtsi128_si64(pixels.low));
    const uint64_t p23 = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pixels.low, pixels.low)));
    const uint64_t p45 = uint64_t(_mm_cvtsi128_si64(pixels.high));
    const uint64_t p67 = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pixels.high, pixels.high)));
    const uint64_t first = (p01 & 0xFFFFFF) | ((p01 >> 8) & 0xFFFFFF000000) | (p23 << 48);
    const uint64_t second =
        ((p23 >> 16) & 0xFF) | ((p23 >> 24) & 0xFFFFFF00) | ((p45 & 0xFFFFFF) << 32) | (p45 >> 32 << 56);
    const uint64_t third = (p45 >> 40) | ((p67 & 0xFFFFFF) << 16) | (p67 >> 32 << 40);
    std::memcpy(out, &first, 8);
    std::memcpy(out + 8, &second, 8);
    std::memcpy(out + 16, &third, 8);
}

// The byte written past a row's eight pixels lands on the next block's first
// pixel, which is written later; the last block of a row has nothing to its
// right.
inline __attribute__((always_inline)) void storePixels(EightPixels pixels, uint8_t* out, bool lastInRow) {
    if (lastInRow)
        storeEight(pixels, out);
    else
        storeEightAndOneMore(pixels, out);
}

}  // namespace

void convertToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t count,
                  uint8_t* bgr) {
    int32_t i = 0;
    for (; i + 8 < count; i += 8)
        storeEightAndOneMore(convertEight(load(luma + i), load(orange + i), load(green + i)), bgr + size_t(i) * 3);
    if (i + 8 == count) {
        storeEight(convertEight(load(luma + i), load(orange + i), load(green + i)), bgr + size_t(i) * 3);
        i += 8;
    }
    for (; i < count; ++i) convertPixelToBgr(luma[i], orange[i], green[i], bgr + size_t(i) * 3);
}

void convertBandsToBgrPortable(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                               int32_t height, uint8_t* bgr) {
    convertBandsBody(luma, orange, green, width, height, bgr);
}

bool colourAvx512Available() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool available = colourAvx512Compiled() && __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
                                  __builtin_cpu_supports("avx512vbmi");
    return available;
#else
    return false;
#endif
}

void convertBandsToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                       int32_t height, uint8_t* bgr) {
    if (colourAvx512Available())
        convertBandsToBgrAvx512(luma, orange, green, width, height, bgr);
    else if (avxAvailable())
        convertBandsToBgrAvx(luma, orange, green, width, height, bgr);
    else
        convertBandsToBgrPortable(luma, orange, green, width, height, bgr);
}
