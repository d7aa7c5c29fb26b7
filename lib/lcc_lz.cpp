#include "lib/fatal_error.h"
#include "lib/heap.h"
#include "lib/lcc_codec.h"
#include "lib/lz_unpack.h"
#include "lib/stream.h"

namespace {

class LzCodec : public LccCodec {
public:
    MemoryStream* decompress(const uint8_t* source, int32_t packedSize, int32_t unpackedSize) override {
        if (packedSize < 0 || !source) packedSize = 0;
        if (unpackedSize < 0) return nullptr;
        uint8_t* block = static_cast<uint8_t*>(heapAlloc(unpackedSize > 0 ? static_cast<size_t>(unpackedSize) : 1));
        if (!block) return nullptr;
        static const uint8_t none = 0;
        int32_t produced = 0;
        LzResult result = lzUnpack(source ? source : &none, packedSize, block, unpackedSize, &produced);
        // Damaged data is reported like the zlib unpacker's: nothing half
        // decoded is ever handed out.
        if (result != LzResult::Complete) {
            fatalError(kAssertionFormat, "lib\\lcc_lz", 58, "result==LZ_COMPLETE");
        }
        if (produced != unpackedSize) fatalError(kAssertionFormat, "lib\\lcc_lz", 59, "produced==origsize");
        MemoryStream* unpacked = new MemoryStream();
        unpacked->attach(block, unpackedSize, 1);
        return unpacked;
    }
};

}  // namespace

LccCodec* lccLzCodec() {
    static LzCodec codec;
    return &codec;
}
