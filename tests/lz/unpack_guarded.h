#pragma once
// Runs the unpacker with input and output each ending at an inaccessible
// page, and reports what it did.

#include <cstdint>
#include <vector>

#include "lib/lz_unpack.h"
#include "tests/lz/guarded_buffer.h"

struct Unpacked {
    LzResult result;
    int32_t produced;
    std::vector<uint8_t> output;
    bool frontIntact;  // nothing written before the output block
};

inline Unpacked unpackGuarded(const std::vector<uint8_t>& packed, size_t unpackedSize) {
    GuardedBuffer input(packed);
    GuardedBuffer output(unpackedSize);
    Unpacked result;
    result.produced = -1;
    result.result = lzUnpack(input.data(), static_cast<int32_t>(input.size()), output.data(),
                             static_cast<int32_t>(unpackedSize), &result.produced);
    result.output = output.contents();
    result.frontIntact = output.frontIntact();
    return result;
}
