#pragma once
// A plain decoder of picture files, written stage by stage the way the format
// describes them (cell by cell, coefficient by coefficient, one line at a time
// through the scalar synthesizeLine), to check the fast decoder against.
#include <cstdint>
#include <vector>

// The blue, green, red pixels of a complete picture file; bits past the end read as zero.
std::vector<uint8_t> referenceDecode(const std::vector<uint8_t>& file);

// The single stages, on whole planes.
std::vector<int16_t> referenceDequantise(const std::vector<int16_t>& coded, int32_t width, int32_t height,
                                         int32_t quality);
void referenceSynthesize(std::vector<int16_t>& plane, int32_t width, int32_t height);
