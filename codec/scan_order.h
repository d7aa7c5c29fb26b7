#pragma once

#include <cstdint>

// A cell of the 64 x 64 grid that a coded plane is cut into.
struct Cell {
    int32_t row;
    int32_t column;
};

// The cell at scan position s (0 .. 4095) of the dyadic scan: each level visits
// its upper-right and lower-left quadrants alternately, then its lower-right one.
Cell cellOfScanPosition(int32_t s);
