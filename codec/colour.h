#pragma once

#include <cstdint>

// YCoCg-R to 8-bit blue, green, red for `count` pixels. The
// planes carry two fractional bits and colours centred on zero.
void convertToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t count,
                  uint8_t* bgr);

// The same for three width x height planes in bands (plane_layout.h); the
// pixels are written row by row as usual.
void convertBandsToBgr(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                       int32_t height, uint8_t* bgr);
// Its builds: for any processor, with AVX and with AVX-512 (each only where
// the processor has it; the last is not in every build at all).
void convertBandsToBgrPortable(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                               int32_t height, uint8_t* bgr);
void convertBandsToBgrAvx(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                          int32_t height, uint8_t* bgr);
void convertBandsToBgrAvx512(const int16_t* luma, const int16_t* orange, const int16_t* green, int32_t width,
                             int32_t height, uint8_t* bgr);
bool colourAvx512Compiled();
bool colourAvx512Available();

// One pixel, the reference for the vector path.
void convertPixelToBgr(int16_t luma, int16_t orange, int16_t green, uint8_t* bgr);
