// One packed archive member through its codec, as openEntry hands it over:
// byte 0 picks the method (even: zlib, odd: LZ), bytes 1..4 give the
// unpacked size from the directory (little-endian, at most 1 MiB), the rest
// is the packed data. Damaged data must end in the fatal report (exit 666,
// caught by the harness); otherwise the stream holds exactly the claimed size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "lib/lcc_codec.h"
#include "lib/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    LccCodec* codec = lccCodecForMethod((data[0] & 1) ? LccLz : LccZlib);
    if (!codec) std::abort();
    const int32_t unpackedSize = claimedSize(data + 1);
    std::vector<uint8_t> packed(data + 5, data + size);
    recordHeapBlocks(true);
    bool returned = runUntilFatal([&] {
        MemoryStream* unpacked = codec->decompress(packed.empty() ? nullptr : packed.data(),
                                                   int32_t(packed.size()), unpackedSize);
        if (!unpacked) std::abort();  // only an allocation failure gives null
        if (unpacked->size() != unpackedSize) std::abort();
        drainStream(unpacked);
        delete unpacked;
    });
    // The block and zlib's state that the report left behind.
    if (!returned) releaseRecordedBlocks();
    recordHeapBlocks(false);
    return 0;
}
