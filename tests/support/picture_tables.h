#pragma once
// The picture format's documented tables, which the decoder's and the
// encoder's own copies must both match.

// Quantiser steps by u + v, for luma (quality 20) and chroma (quality 70).
constexpr int kLumaSteps[15] = {20, 23, 27, 32, 37, 43, 51, 60, 70, 82, 96, 112, 131, 153, 180};
constexpr int kChromaSteps[15] = {70, 81, 95, 112, 131, 153, 179, 210, 245, 287, 336, 393, 460, 538, 630};

// The block coefficient index held by subband (row q, column p).
constexpr int kSubbandIndex[8][8] = {{0, 1, 4, 5, 16, 17, 18, 19},     {2, 3, 6, 7, 20, 21, 22, 23},
                                     {8, 9, 12, 13, 24, 25, 26, 27},   {10, 11, 14, 15, 28, 29, 30, 31},
                                     {32, 33, 34, 35, 48, 49, 50, 51}, {36, 37, 38, 39, 52, 53, 54, 55},
                                     {40, 41, 42, 43, 56, 57, 58, 59}, {44, 45, 46, 47, 60, 61, 62, 63}};

// Grid cell (row, column) of the first 24 scan positions; 64 and 65 are (0, 8) and (8, 0).
constexpr int kScanStart[24][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 2}, {2, 0}, {1, 2}, {3, 0},
                                   {0, 3}, {2, 1}, {1, 3}, {3, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3},
                                   {0, 4}, {4, 0}, {1, 4}, {5, 0}, {2, 4}, {6, 0}, {3, 4}, {7, 0}};
