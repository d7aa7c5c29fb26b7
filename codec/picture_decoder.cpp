#include "codec/picture_decoder.h"

#include "codec/colour.h"
#include "codec/dequantise.h"
#include "codec/synthesis.h"
#include "codec/synthesis_lanes.h"
#include "lib/heap.h"
#include "lib/stream.h"

const char* decodeResultName(DecodeResult result) {
    switch (result) {
        case DecodeResult::decoded: return "decoded";
        case DecodeResult::truncated: return "truncated";
        case DecodeResult::refused: return "refused";
        case DecodeResult::corrupt: return "corrupt";
        case DecodeResult::outOfMemory: return "out of memory";
    }
    return "unknown";
}

PictureBuffer::PictureBuffer() : pixels(nullptr), width(0), height(0) {}

PictureBuffer::~PictureBuffer() { release(); }

void PictureBuffer::release() {
    heapFree(pixels);
    pixels = nullptr;
    width = 0;
    height = 0;
}

int32_t PictureBuffer::resize(int32_t newWidth, int32_t newHeight) {
    // A buffer of the same byte size is kept: its content is undefined either way.
    if (pixels != nullptr && newWidth > 0 && newHeight > 0 &&
        int64_t(newWidth) * newHeight == int64_t(width) * height) {
        width = newWidth;
        height = newHeight;
        return 1;
    }
    release();
    if (newWidth <= 0 || newHeight <= 0) return 0;
    pixels = static_cast<uint8_t*>(heapAlloc(size_t(newWidth) * size_t(newHeight) * 3));
    if (pixels == nullptr) return 0;
    width = newWidth;
    height = newHeight;
    return 1;
}

PictureDecoder::PictureDecoder()
    : planes{nullptr, nullptr, nullptr}, width(0), height(0), zeroRun(0), riceParameter(0), pendingValue(0),
      groupValues(nullptr), groupPlaces(nullptr), cellCorners(nullptr), significant(nullptr), refinable(nullptr),
      wordZeros(nullptr),
      groupSize(0), groupWords(0), planeBlock(nullptr) {}

PictureDecoder::~PictureDecoder() {
    releasePlanes();
    releaseScratch();
}

bool PictureDecoder::sizeSupported(int32_t w, int32_t h) {
    if (w < 64 || h < 64 || w % 64 != 0 || h % 64 != 0) return false;
    // Rows are transformed through a buffer no taller than the picture is wide.
    if (h > w) return false;
    return int64_t(w) * int64_t(h) <= kMaxPixels;
}

void PictureDecoder::releasePlanes() {
    heapFree(planeBlock);
    planeBlock = nullptr;
    for (int16_t*& plane : planes) plane = nullptr;
}

void PictureDecoder::releaseScratch() {
    heapFree(groupValues);
    heapFree(groupPlaces);
    heapFree(significant);
    groupValues = nullptr;
    groupPlaces = nullptr;
    cellCorners = nullptr;
    significant = nullptr;
    refinable = nullptr;
    wordZeros = nullptr;
    groupSize = 0;
    groupWords = 0;
}

DecodeResult PictureDecoder::fail(DecodeResult result, PictureBuffer& picture) {
    releasePlanes();
    releaseScratch();
    picture.release();
    reader.attach(nullptr);
    return result;
}

DecodeResult PictureDecoder::decode(Stream* stream, PictureBuffer& picture) {
    if (stream == nullptr) {
        releasePlanes();
        picture.release();
        return DecodeResult::refused;
    }
    return decode(*stream, picture);
}

DecodeResult PictureDecoder::decode(Stream& stream, PictureBuffer& picture) {
    releasePlanes();
    reader.attach(&stream);
    int32_t w = int32_t(reader.readBits(15));
    int32_t h = int32_t(reader.readBits(15));
    // A header that the stream does not hold in full is not a picture either.
    if (reader.pastEnd() || !sizeSupported(w, h)) return fail(DecodeResult::refused, picture);

    if (!prepareCoefficientDecoding(w, h)) return fail(DecodeResult::outOfMemory, picture);
    // One block for the three coded planes, a fourth plane and the work space
    // of the column synthesis. Few, large, reused blocks keep fresh pages (and
    // their faults) out of the decode.
    const size_t planeValues = size_t(w) * size_t(h);
    const size_t workValues = planeValues / 64 + size_t(h) * 8;
    int16_t* block = static_cast<int16_t*>(heapAlloc((planeValues * 4 + workValues) * sizeof(int16_t)));
    if (block == nullptr) return fail(DecodeResult::outOfMemory, picture);
    planeBlock = block;
    for (int32_t p = 0; p < 3; ++p) planes[p] = block + planeValues * size_t(p);
    LaneScratch scratch;
    if (!scratch.allocate(w)) return fail(DecodeResult::outOfMemory, picture);

    // Each plane's columns are synthesised (after dequantisation) right after
    // its coefficients are decoded, while the coded plane is still in the
    // cache. They go into bands in the free plane space, and the space of the
    // coded values is free after that.
    static const int32_t qualities[3] = {20, 70, 70};
    int16_t* work = block + planeValues * 4;
    int16_t* freePlane = block + planeValues * 3;
    for (int32_t p = 0; p < 3; ++p) {
        if (!decodePlaneCoefficients(planes[p])) return fail(DecodeResult::corrupt, picture);
        const PlaneDequantiser dequantiser(w, h, qualities[p]);
        synthesizeCodedColumns(dequantiser, planes[p], freePlane, w, h, work, scratch);
        int16_t* coded = planes[p];
        planes[p] = freePlane;
        freePlane = coded;
    }
    const bool truncated = reader.pastEnd();
    releaseScratch();
    reader.attach(nullptr);  // the stream is not touched after this point

    if (!picture.resize(w, h)) return fail(DecodeResult::outOfMemory, picture);
    for (int32_t band = 0; band < h / 8; ++band) {
        for (int16_t* plane : planes) synthesizeBandRows(plane, band, 1, w, scratch);
        const size_t first = size_t(band) * size_t(w) * 8;
        convertBandsToBgr(planes[0] + first, planes[1] + first, planes[2] + first, w, 8,
                          picture.pixels + first * 3);
    }
    releasePlanes();
    return truncated ? DecodeResult::truncated : DecodeResult::decoded;
}
