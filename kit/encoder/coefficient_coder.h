#pragma once
// Bit-plane entropy coder of one coefficient plane: the exact mirror of the
// decoder's group, run-code, significance and refinement steps.
#include <cstdint>
#include <vector>

// The encoder's stages; the namespace keeps them apart from the decoder's
// functions of the same names.
namespace encoder {

class BitWriter;

// Cell (row, column) of the 64 x 64 cell grid at scan position s (0 .. 4095).
struct Cell {
    int row, column;
};
Cell cellOfScanPosition(int s);

// Writes one coded-layout plane (width x height quantised levels, magnitudes
// at most 2^15 - 1) as 256 groups of 16 cells.
void encodePlaneCoefficients(const std::vector<int16_t>& plane, int width, int height, BitWriter& out);

}  // namespace encoder
