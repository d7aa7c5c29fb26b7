#pragma once

// The single-precision constants of the synthesis transform, exact.
namespace synthesis {
const float C4 = 0x1.6a09e6p-2f;    // cos(pi/4)/2
const float C8 = 0x1.d906bcp-2f;    // cos(pi/8)/2
const float S8 = 0x1.87de2ap-3f;    // sin(pi/8)/2
const float C16 = 0x1.f6297cp-1f;   // cos(pi/16)
const float S16 = 0x1.8f8b84p-3f;   // sin(pi/16)
const float C316 = 0x1.a9b662p-1f;  // cos(3 pi/16)
const float S316 = 0x1.1c73b4p-1f;  // sin(3 pi/16)
const float RC = 0x1.e95db4p-1f;    // cos of 17.1 degrees
const float RS = 0x1.2d18e8p-2f;    // sin of 17.1 degrees
const float K65 = 0x1.4e7ae8p-1f;   // rounded C8 + S8
const float K27 = 0x1.1517a8p-2f;   // rounded C8 - S8
}  // namespace synthesis
