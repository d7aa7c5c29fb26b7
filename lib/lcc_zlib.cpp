#include <zlib.h>

#include "lib/fatal_error.h"
#include "lib/heap.h"
#include "lib/lcc_codec.h"
#include "lib/stream.h"

namespace {

voidpf zlibAlloc(voidpf, uInt items, uInt size) {
    if (size != 0 && items > static_cast<size_t>(-1) / size) return Z_NULL;
    return heapAlloc(static_cast<size_t>(items) * size);
}

void zlibFree(voidpf, voidpf block) { heapFree(block); }

class ZlibCodec : public LccCodec {
public:
    MemoryStream* decompress(const uint8_t* source, int32_t packedSize, int32_t unpackedSize) override {
        if (packedSize < 0) packedSize = 0;
        if (unpackedSize < 0) return nullptr;
        // At least one byte so an empty member still has a valid output pointer.
        uint8_t* block = static_cast<uint8_t*>(heapAlloc(unpackedSize > 0 ? static_cast<size_t>(unpackedSize) : 1));
        if (!block) return nullptr;
        static const Bytef none = 0;
        z_stream strm{};
        strm.zalloc = zlibAlloc;
        strm.zfree = zlibFree;
        strm.next_in = const_cast<Bytef*>(source ? source : &none);
        strm.avail_in = static_cast<uInt>(packedSize);
        strm.next_out = block;
        strm.avail_out = static_cast<uInt>(unpackedSize);
        int res = inflateInit(&strm);
        if (res == Z_OK) res = inflate(&strm, Z_FINISH);
        if (res != Z_STREAM_END) fatalError(kAssertionFormat, "lib\\lcc_zlib", 69, "res==Z_STREAM_END");
        uLong origsize = static_cast<uLong>(unpackedSize);
        if (origsize != strm.total_out) {
            fatalError(kAssertionFormat, "lib\\lcc_zlib", 70, "origsize==strm.total_out");
        }
        inflateEnd(&strm);
        MemoryStream* unpacked = new MemoryStream();
        unpacked->attach(block, static_cast<int32_t>(strm.total_out), 1);
        return unpacked;
    }
};

}  // namespace

LccCodec* lccZlibCodec() {
    static ZlibCodec codec;
    return &codec;
}
