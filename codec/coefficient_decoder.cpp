// Bit-plane decoding of the coefficients of one plane.
#include <emmintrin.h>

#include <cstring>

#include "codec/picture_decoder.h"
#include "codec/scan_order.h"
#include "codec/significance_pass.h"
#include "lib/heap.h"

bool PictureDecoder::prepareCoefficientDecoding(int32_t planeWidth, int32_t planeHeight) {
    releaseScratch();
    width = planeWidth;
    height = planeHeight;
    groupSize = 16 * (planeWidth / 64) * (planeHeight / 64);
    groupWords = (groupSize + 63) / 64;
    groupValues = static_cast<int16_t*>(heapAlloc(size_t(groupWords) * 64 * sizeof(int16_t)));
    groupPlaces = static_cast<int32_t*>(heapAlloc((size_t(groupSize) + 4096) * sizeof(int32_t)));
    significant = static_cast<uint64_t*>(heapAlloc(size_t(groupWords) * 2 * sizeof(uint64_t) +
                                                   size_t(groupWords) * sizeof(WordZeros)));
    if (groupValues == nullptr || groupPlaces == nullptr || significant == nullptr) {
        releaseScratch();
        return false;
    }
    // Where each coefficient of a group goes, relative to its cell's corner,
    // so that storing a sparse group needs no division.
    const int32_t cellWidth = width / 64;
    const int32_t cellHeight = height / 64;
    int32_t index = 0;
    for (int32_t cell = 0; cell < 16; ++cell)
        for (int32_t y = 0; y < cellHeight; ++y)
            for (int32_t x = 0; x < cellWidth; ++x) groupPlaces[index++] = (cell << 24) | (y * width + x);
    // Where each cell starts in the plane, by scan position.
    cellCorners = groupPlaces + groupSize;
    for (int32_t position = 0; position < 4096; ++position) {
        const Cell cell = cellOfScanPosition(position);
        cellCorners[position] = cell.row * cellHeight * width + cell.column * cellWidth;
    }
    refinable = significant + groupWords;
    wordZeros = reinterpret_cast<WordZeros*>(significant + 2 * size_t(groupWords));
    // Between groups the scratch values are kept at zero (storeGroup clears
    // what it takes), so a group needs no clearing of its own.
    std::memset(groupValues, 0, size_t(groupWords) * 64 * sizeof(int16_t));
    return true;
}

bool PictureDecoder::decodePlaneCoefficients(int16_t* plane) {
    // Cleared at once: sparse groups then store only their nonzero values.
    std::memset(plane, 0, size_t(width) * size_t(height) * sizeof(int16_t));
    for (int32_t g = 0; g < 256; ++g)
        if (!decodeGroup(plane, 16 * g, 16 * g + 16)) return false;
    return true;
}

bool PictureDecoder::decodeGroup(int16_t* plane, int32_t first, int32_t end) {
    (void)end;  // a group is always 16 cells
    std::memset(significant, 0, size_t(groupWords) * sizeof(uint64_t));
    // Positions past the group's end count as significant so that no run finds them.
    if (groupSize % 64 != 0) significant[groupWords - 1] = ~uint64_t(0) << (groupSize % 64);

    int32_t planes = int32_t(reader.readBits(4));
    for (int32_t d = planes > 0 ? 1 << (planes - 1) : 0; d >= 1; d >>= 1) {
        pendingValue = 0;
        riceParameter = 1;
        // The coefficients significant now are the ones this plane refines;
        // the padding is not among them.
        for (int32_t w = 0; w < groupWords; ++w) refinable[w] = significant[w];
        if (groupSize % 64 != 0) refinable[groupWords - 1] &= ~(~uint64_t(0) << (groupSize % 64));
        if (!decodeRun(d) || !significancePass(d)) {
            // The scratch is left zero for whatever is decoded next.
            std::memset(groupValues, 0, size_t(groupWords) * 64 * sizeof(int16_t));
            return false;
        }
        refinementPass(d);
    }
    storeGroup(plane, first);
    return true;
}

bool PictureDecoder::decodeRun(int32_t d) {
    RunState state{zeroRun, riceParameter, pendingValue};
    bool ok = readRunCode(reader, state, d);
    zeroRun = state.zeroRun;
    riceParameter = state.riceParameter;
    pendingValue = state.pendingValue;
    return ok;
}

bool PictureDecoder::significancePass(int32_t d) {
    RunState state{zeroRun, riceParameter, pendingValue};
    bool ok = significancePassAvx512Available()
                  ? significancePassAvx512(reader, state, groupValues, significant, wordZeros, groupWords, d)
              : significancePassFastAvailable()
                  ? significancePassFast(reader, state, groupValues, significant, wordZeros, groupWords, d)
                  : significancePassPortable(reader, state, groupValues, significant, wordZeros, groupWords, d);
    zeroRun = state.zeroRun;
    riceParameter = state.riceParameter;
    pendingValue = state.pendingValue;
    return ok;
}

void PictureDecoder::refinementPass(int32_t d) {
    if (refinementAvx512Available())
        refinementPassAvx512(reader, groupValues, refinable, groupWords, d);
    else if (significancePassFastAvailable())
        refinementPassFast(reader, groupValues, refinable, groupWords, d);
    else
        refinementPassPortable(reader, groupValues, refinable, groupWords, d);
}

void PictureDecoder::storeGroup(int16_t* plane, int32_t first) {
    const int32_t cellWidth = width / 64;
    const int32_t cellHeight = height / 64;
    // The nonzero values are exactly the significant ones (the padding past
    // the group is marked too but never holds a value).
    const int32_t nonzero = significancePassFastAvailable() ? countSetBitsFast(significant, groupWords)
                                                            : countSetBitsPortable(significant, groupWords);
    if (nonzero * 8 <= groupSize) {
        // Sparse: only the nonzero values go into the (cleared) plane, and
        // only they are cleared in the scratch.
        const int32_t* corners = cellCorners + first;
        for (int32_t w = 0; w < groupWords; ++w) {
            uint64_t bits = significant[w];
            while (bits != 0) {
                const int32_t index = w * 64 + __builtin_ctzll(bits);
                bits &= bits - 1;
                if (index >= groupSize) break;
                const int32_t place = groupPlaces[index];
                plane[size_t(corners[place >> 24]) + size_t(place & 0xFFFFFF)] = groupValues[index];
                groupValues[index] = 0;
            }
        }
        return;
    }
    int16_t* values = groupValues;
    for (int32_t s = first; s < first + 16; ++s) {
        int16_t* corner = plane + cellCorners[s];
        for (int32_t y = 0; y < cellHeight; ++y) {
            int16_t* row = corner + size_t(y) * width;
            // Cell rows are short (16 values in the show's pictures): copy them
            // inline rather than through a library call each.
            int32_t x = 0;
            for (; x + 8 <= cellWidth; x += 8) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + x)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(values + x), _mm_setzero_si128());
            }
            for (; x < cellWidth; ++x) {
                row[x] = values[x];
                values[x] = 0;
            }
            values += cellWidth;
        }
    }
}
