#include "kit/encoder/bit_writer.h"

#include <utility>

namespace encoder {

void BitWriter::writeBits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
        accumulator_ = (accumulator_ << 1) | ((value >> i) & 1u);
        if (++pending_ == 8) {
            bytes_.push_back(uint8_t(accumulator_));
            accumulator_ = 0;
            pending_ = 0;
        }
    }
}

std::vector<uint8_t> BitWriter::finish() {
    if (pending_ > 0) bytes_.push_back(uint8_t(accumulator_ << (8 - pending_)));
    accumulator_ = 0;
    pending_ = 0;
    return std::move(bytes_);
}

}  // namespace encoder
