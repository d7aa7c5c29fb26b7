#pragma once
// Writes bytes with control bits interleaved the way the unpacker reads them:
// when a bit is needed and the current tag byte is used up, a new tag byte is
// reserved at that point of the output and filled from its top bit down.

#include <cstdint>
#include <vector>

class LzBitWriter {
public:
    explicit LzBitWriter(std::vector<uint8_t>& out) : out_(out) {}

    void byte(uint8_t value) { out_.push_back(value); }

    void bit(uint32_t value) {
        if (bitsLeft_ == 0) {
            tagPosition_ = out_.size();
            out_.push_back(0);
            bitsLeft_ = 8;
        }
        bitsLeft_--;
        if (value) out_[tagPosition_] |= uint8_t(1u << bitsLeft_);
    }

    // value >= 2: the bits below the leading one, each followed by a bit
    // saying whether more follow.
    void gamma(uint32_t value) {
        int top = 31 - __builtin_clz(value);
        for (int i = top - 1; i >= 0; i--) {
            bit((value >> i) & 1);
            bit(i > 0);
        }
    }

private:
    std::vector<uint8_t>& out_;
    size_t tagPosition_ = 0;
    int bitsLeft_ = 0;
};
