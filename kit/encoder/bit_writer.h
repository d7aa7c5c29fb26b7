#pragma once
// Writes a bit stream most significant bit first, as the decoder's bit reader
// consumes it.
#include <cstdint>
#include <vector>

// The encoder's stages; the namespace keeps them apart from the decoder's
// functions of the same names.
namespace encoder {

class BitWriter {
public:
    // Appends the low n bits of value (0 <= n <= 32), highest first.
    void writeBits(uint32_t value, int n);
    void writeBit(int bit) { writeBits(bit ? 1u : 0u, 1); }
    // Number of bits written so far.
    uint64_t bitCount() const { return uint64_t(bytes_.size()) * 8 + uint64_t(pending_); }
    // The bytes, the last one padded with zero bits.
    std::vector<uint8_t> finish();

private:
    std::vector<uint8_t> bytes_;
    uint32_t accumulator_ = 0;  // the low pending_ bits are not yet stored
    int pending_ = 0;
};

}  // namespace encoder
