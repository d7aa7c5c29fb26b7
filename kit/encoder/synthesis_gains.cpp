#include "kit/encoder/synthesis_gains.h"

#include <stdexcept>
#include <vector>

#include "codec/synthesis.h"

namespace encoder {

namespace {

// Large enough that the decoder's rounding to integers is negligible against
// the impulse, small enough that no stage leaves the 16-bit range.
const int kImpulse = 4096;
// Three regions each way: the impulse sits in the middle one.
const int kSide = 192;

double impulseEnergy(int row, int column) {
    std::vector<int16_t> plane(size_t(kSide) * kSide, 0);
    plane[size_t(row) * kSide + column] = int16_t(kImpulse);
    if (!synthesizePlane(plane.data(), kSide, kSide)) throw std::runtime_error("out of memory");
    double energy = 0.0;
    for (int16_t value : plane) energy += double(value) * double(value);
    return energy / (double(kImpulse) * double(kImpulse));
}

SynthesisGains measureGains() {
    SynthesisGains gains;
    // Block (9, 9) lies inside region (1, 1); its average is coefficient
    // j = 9 of that region, so block coefficients are probed there and
    // second-level ones at the block-average places of the whole region.
    gains.block[0] = 0.0;
    for (int i = 1; i < 64; ++i) gains.block[i] = impulseEnergy(72 + i / 8, 72 + i % 8);
    for (int j = 0; j < 64; ++j) gains.region[j] = impulseEnergy(64 + 8 * (j / 8), 64 + 8 * (j % 8));
    return gains;
}

}  // namespace

const SynthesisGains& synthesisGains() {
    static const SynthesisGains gains = measureGains();
    return gains;
}

}  // namespace encoder
