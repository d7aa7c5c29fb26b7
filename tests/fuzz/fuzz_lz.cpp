// The archive's LZ method on a raw stream: the first four bytes give the
// claimed unpacked size (little-endian, at most 1 MiB), the rest is the
// packed data. The output block is exactly the claimed size, so any write
// beyond it is caught; the result must agree with what was produced.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "lib/lz_unpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int32_t unpackedSize = claimedSize(data);
    std::vector<uint8_t> packed(data + 4, data + size);
    uint8_t* output = static_cast<uint8_t*>(std::malloc(unpackedSize > 0 ? size_t(unpackedSize) : 1));
    int32_t produced = -1;
    LzResult result = lzUnpack(packed.empty() ? output : packed.data(), int32_t(packed.size()), output,
                               unpackedSize, &produced);
    if (produced < 0 || produced > unpackedSize) std::abort();
    if (result == LzResult::Complete && produced != unpackedSize) std::abort();
    // Every produced byte must have been written: a checksum makes the
    // sanitizers look at each one.
    volatile uint32_t sum = 0;
    for (int32_t i = 0; i < produced; ++i) sum = sum + output[i];
    std::free(output);
    return 0;
}
