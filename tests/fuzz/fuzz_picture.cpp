// Picture files from arbitrary bytes: any size header, truncated or
// impossible coded data. A picture is decoded twice into buffers prefilled
// with different bytes: every pixel must be written, so both must agree, and
// the result codes must match what is left in the buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/picture_decoder.h"
#include "lib/stream.h"

namespace {

// Pictures above this many pixels are left out of the run: they decode
// correctly but slowly (all-zero coefficients when truncated), and their
// refusal and allocation paths are the same as for the ones below it.
constexpr int64_t kLargestFuzzedPixels = int64_t(1) << 18;

DecodeResult decodeInto(PictureDecoder& decoder, const std::vector<uint8_t>& bytes, PictureBuffer& picture,
                        int32_t fill, int32_t width, int32_t height) {
    if (width > 0 && picture.resize(width, height)) std::memset(picture.pixels, fill, size_t(width) * height * 3);
    MemoryStream stream(const_cast<uint8_t*>(bytes.data()), int32_t(bytes.size()), 0);
    return decoder.decode(stream, picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    if (size >= 4) {
        int64_t width = int64_t(data[0]) << 7 | data[1] >> 1;
        int64_t height = int64_t(data[1] & 1) << 14 | int64_t(data[2]) << 6 | data[3] >> 2;
        if (PictureDecoder::sizeSupported(int32_t(width), int32_t(height)) &&
            width * height > kLargestFuzzedPixels)
            return 0;
    }
    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.empty()) bytes.reserve(1);

    static PictureDecoder reused;  // the show reuses nothing, but the decoder may be reused
    PictureDecoder fresh;
    PictureBuffer first, second;
    DecodeResult result = decodeInto(fresh, bytes, first, 0x00, 0, 0);
    const bool hasPixels = result == DecodeResult::decoded || result == DecodeResult::truncated;
    if (hasPixels) {
        if (!first.pixels || !PictureDecoder::sizeSupported(first.width, first.height)) std::abort();
    } else if (first.pixels || first.width || first.height) {
        std::abort();
    }
    // Same size again, over a buffer full of other bytes: the decoder keeps
    // the block and must overwrite all of it.
    DecodeResult again = decodeInto(reused, bytes, second, 0xA5, first.width, first.height);
    if (again != result) std::abort();
    if (hasPixels) {
        if (second.width != first.width || second.height != first.height) std::abort();
        if (std::memcmp(first.pixels, second.pixels, size_t(first.width) * first.height * 3) != 0) std::abort();
    }
    return 0;
}
