#pragma once
// Rate-distortion optimised quantisation. The decoder's steps are fixed, so
// the encoder's freedom is which level each coefficient gets, zero included.
// Each level is chosen by its cost in bits under the bit-plane coder (its
// significance in one bit plane, coded by the adaptive run code, and one
// refinement bit for every plane below that) against the squared error it
// leaves in the synthesised plane, weighed by the synthesis gain of the
// coefficient: minimise error + lambda * bits, group by group as the coder
// visits them.
#include <cstdint>
#include <vector>

namespace encoder {

// One plane's coefficients, prepared once and quantised for any lambda.
struct RdoPlane {
    int width = 0, height = 0;
    int groupSize = 0;  // coefficients per group (16 cells)
    double planeWeight = 1.0;  // how much this plane's squared errors count
    // Per coefficient, in the coder's visiting order (group after group, the
    // cells of a group in scan order, each cell row by row):
    std::vector<uint32_t> place;   // index in the coded plane
    std::vector<float> magnitude;  // |coefficient| / step
    std::vector<float> weight;     // squared error of one step, in weighted plane units
    std::vector<uint8_t> negative;
    std::vector<int16_t> limit;    // largest level the decoder's 16-bit planes hold
    std::vector<int16_t> start;    // the levels the iteration starts from
    std::vector<uint16_t> step;    // the decoder's step
    // Where the coefficient's synthesis function lies: a block coefficient
    // (u, v) of block (bx, by) is the product of the synthesis of line
    // position 8 by + v down the columns and 8 bx + u along the rows; a
    // second-level coefficient j of region (rx, ry) is marked by rows at or
    // above height (height + 8 ry + j / 8) and columns at or above width
    // (width + 8 rx + j % 8).
    std::vector<uint16_t> row, column;
};

// Bit prices that quantiseRdo used, per cell in visiting order: kPricePlanes
// values each, entry q the bits of a level whose highest bit is q over those
// of zero.
const int kPricePlanes = 15;

// Prepares a block-layout plane (see analyzePlane) for the decoder's steps of
// the given quality. planeWeight scales every error of this plane (colour
// planes count less than luma); activityWeights, when not empty, holds one
// extra factor per 8 x 8 block (row-major, width / 8 per row).
RdoPlane prepareRdoPlane(const std::vector<double>& blockPlane, int width, int height, int quality,
                         double planeWeight, const std::vector<float>& activityWeights = {});

// The levels, in the coded layout (row-major width x height), that minimise
// error + lambda * bits under the coder's cost model. lambda = 0 gives the
// nearest reconstruction of every coefficient.
// cellPrices, when not null, receives the bit prices of every cell.
std::vector<int16_t> quantiseRdo(const RdoPlane& plane, double lambda, std::vector<float>* cellPrices = nullptr);

// The bits that the coder's cost model gives a group whose levels
// (magnitudes, in visiting order) are these; for tests and tuning.
double modelGroupBits(const int16_t* levels, int count);

}  // namespace encoder
