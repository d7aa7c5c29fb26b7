#pragma once

#include <cstdint>

#include "codec/bit_reader.h"
#include "codec/significance_pass.h"

class Stream;

// The outcome of one decode. Only `decoded` and `truncated` leave pixels in the
// picture; the other results leave it empty (pixels null, size 0 x 0).
enum class DecodeResult {
    decoded,      // the whole picture was read from the stream
    truncated,    // the stream ended early; the missing bits were read as zero
    refused,      // the header is outside the limits the decoder supports
    corrupt,      // the coded data is impossible (e.g. a run code beyond 24 bits)
    outOfMemory   // an allocation failed
};

const char* decodeResultName(DecodeResult result);

// Decoded pixels: rows top to bottom, no padding, three bytes per pixel in the
// order blue, green, red.
class PictureBuffer {
public:
    PictureBuffer();
    ~PictureBuffer();
    PictureBuffer(const PictureBuffer&) = delete;
    PictureBuffer& operator=(const PictureBuffer&) = delete;

    // Makes room for width x height x 3 bytes (content undefined): the block is
    // kept when its size fits exactly, otherwise freed and allocated anew.
    // Returns 1, or 0 when the allocation fails; the buffer is then empty.
    int32_t resize(int32_t width, int32_t height);
    void release();

    uint8_t* pixels;
    int32_t width;
    int32_t height;
};

// Decodes one picture file from a stream positioned at its first byte. The
// stream is only read forward (in blocks, so its position afterwards says
// nothing about where the picture ended) and stays open. The decoder can be
// reused. Bad input never makes it read or write outside its buffers.
class PictureDecoder {
public:
    // Largest picture accepted, in pixels (e.g. 8192 x 8192); larger headers are refused.
    static const int64_t kMaxPixels = int64_t(1) << 26;

    PictureDecoder();
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    DecodeResult decode(Stream& stream, PictureBuffer& picture);
    DecodeResult decode(Stream* stream, PictureBuffer& picture);

    // True when a picture of this size can be decoded: both sides multiples of
    // 64 and at least 64, height not above width, at most kMaxPixels.
    static bool sizeSupported(int32_t width, int32_t height);

    // The coefficient decoder: one plane of width x height values in the coded
    // layout, from the current position of the bit reader. Returns false when
    // the data is impossible (the plane then holds partial values).
    bool decodePlaneCoefficients(int16_t* plane);

    // Sets up the decoder for coefficient decoding of a width x height plane
    // (allocates the group scratch); used by decode and by tests that feed the
    // bit reader directly. Returns false when out of memory.
    bool prepareCoefficientDecoding(int32_t width, int32_t height);

    // Luma, orange chroma, green chroma while decode runs (inside planeBlock),
    // null otherwise.
    int16_t* planes[3];
    int32_t width;
    int32_t height;
    BitReader reader;
    int32_t zeroRun;        // n: zero coefficients still to skip before the pending value
    int32_t riceParameter;  // k
    int32_t pendingValue;   // 0, +d or -d

    // The steps of the coefficient decoder. A group is decoded into a scratch
    // array in visiting order and then stored into the plane; the passes work
    // on that array. decodeRun and significancePass return false for a run
    // code whose Rice parameter is above 23. The group's cells of the plane
    // must be zero before decodeGroup (decodePlaneCoefficients clears the
    // plane): a sparse group stores only its nonzero values.
    bool decodeGroup(int16_t* plane, int32_t first, int32_t end);
    bool decodeRun(int32_t d);
    bool significancePass(int32_t d);
    void refinementPass(int32_t d);
    void storeGroup(int16_t* plane, int32_t first);

private:
    void releasePlanes();
    void releaseScratch();
    DecodeResult fail(DecodeResult result, PictureBuffer& picture);

    // A group's coefficients in visiting order (cells in scan order, each cell
    // row by row), and one bit per coefficient telling whether it is nonzero;
    // the bitmap lets a run skip zero coefficients a word at a time.
    int16_t* groupValues;
    int32_t* groupPlaces;  // per coefficient of a group: its cell << 24 | its place from the cell's corner
    int32_t* cellCorners;  // per scan position: where its cell starts (inside the groupPlaces block)
    uint64_t* significant;
    uint64_t* refinable;   // significant before the current plane (inside the significant block)
    WordZeros* wordZeros;  // the significance pass's scratch (inside the significant block)
    int32_t groupSize;
    int32_t groupWords;
    int16_t* planeBlock;  // the one block that the planes live in during decode
};
