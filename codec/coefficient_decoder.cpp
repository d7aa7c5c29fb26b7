// Bit-plane decoding of the coefficients of one plane.
#include <cstring>

#include "codec/picture_decoder.h"
#include "codec/scan_order.h"
#include "lib/heap.h"

namespace {

inline int32_t countBits(uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555ull);
    v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int32_t((v * 0x0101010101010101ull) >> 56);
}

// Position of set bit number n (0-based) of v; v has more than n set bits.
inline int32_t selectBit(uint64_t v, int32_t n) {
    int32_t base = 0;
    int32_t low = countBits(v & 0xFFFFFFFFull);
    if (n >= low) {
        n -= low;
        v >>= 32;
        base = 32;
    }
    int32_t low16 = countBits(v & 0xFFFFull);
    if (n >= low16) {
        n -= low16;
        v >>= 16;
        base += 16;
    }
    while (n > 0) {
        v &= v - 1;
        --n;
    }
    return base + __builtin_ctzll(v);
}

}  // namespace

bool PictureDecoder::prepareCoefficientDecoding(int32_t planeWidth, int32_t planeHeight) {
    releaseScratch();
    width = planeWidth;
    height = planeHeight;
    groupSize = 16 * (planeWidth / 64) * (planeHeight / 64);
    groupWords = (groupSize + 63) / 64;
    groupValues = static_cast<int16_t*>(heapAlloc(size_t(groupWords) * 64 * sizeof(int16_t)));
    significant = static_cast<uint64_t*>(heapAlloc(size_t(groupWords) * sizeof(uint64_t)));
    if (groupValues == nullptr || significant == nullptr) {
        releaseScratch();
        return false;
    }
    return true;
}

bool PictureDecoder::decodePlaneCoefficients(int16_t* plane) {
    // Every group stores all of its cells, zeros included, so the plane needs
    // no clearing first.
    for (int32_t g = 0; g < 256; ++g)
        if (!decodeGroup(plane, 16 * g, 16 * g + 16)) return false;
    return true;
}

bool PictureDecoder::decodeGroup(int16_t* plane, int32_t first, int32_t end) {
    (void)end;  // a group is always 16 cells
    std::memset(groupValues, 0, size_t(groupWords) * 64 * sizeof(int16_t));
    std::memset(significant, 0, size_t(groupWords) * sizeof(uint64_t));
    // Positions past the group's end count as significant so that no run finds them.
    if (groupSize % 64 != 0) significant[groupWords - 1] = ~uint64_t(0) << (groupSize % 64);

    int32_t planes = int32_t(reader.readBits(4));
    for (int32_t d = planes > 0 ? 1 << (planes - 1) : 0; d >= 1; d >>= 1) {
        pendingValue = 0;
        riceParameter = 1;
        if (!decodeRun(d)) return false;
        if (!significancePass(d)) return false;
        refinementPass(d);
    }
    storeGroup(plane, first);
    return true;
}

bool PictureDecoder::decodeRun(int32_t d) {
    if (reader.readBit() == 0) {
        // 2^k coefficients stay zero. k cannot grow far: a run longer than the
        // group ends the pass.
        if (riceParameter > 30) return false;
        pendingValue = 0;
        zeroRun = int32_t((uint32_t(1) << riceParameter) - 1);
        riceParameter += 1;
        return true;
    }
    if (riceParameter > 23) return false;
    uint32_t v = reader.readBits(riceParameter + 1);
    pendingValue = (v & 1) ? -d : d;
    zeroRun = int32_t(v >> 1);
    if (riceParameter > 0) riceParameter -= 1;
    return true;
}

bool PictureDecoder::significancePass(int32_t d) {
    int32_t position = 0;  // first coefficient not yet visited
    while (position < groupSize) {
        // Find the zero coefficient that ends the current run: skip zeroRun
        // zero coefficients, a word of the bitmap at a time.
        int32_t word = position >> 6;
        uint64_t zeros = ~significant[word] & (~uint64_t(0) << (position & 63));
        int32_t skip = zeroRun;
        int32_t available;
        while (skip >= (available = countBits(zeros))) {
            skip -= available;
            if (++word == groupWords) return true;  // the run outlasts the pass
            zeros = ~significant[word];
        }
        int32_t target = word * 64 + selectBit(zeros, skip);
        if (pendingValue != 0) {
            groupValues[target] = int16_t(pendingValue);
            significant[word] |= uint64_t(1) << (target & 63);
        }
        if (!decodeRun(d)) return false;
        position = target + 1;
    }
    return true;
}

void PictureDecoder::refinementPass(int32_t d) {
    const int32_t twice = 2 * d;
    for (int32_t word = 0; word < groupWords; ++word) {
        uint64_t bits = significant[word];
        while (bits != 0) {
            int32_t index = word * 64 + __builtin_ctzll(bits);
            bits &= bits - 1;
            int32_t x = groupValues[index];
            // Coefficients placed in this plane (|x| = d) and the padding (0) read nothing.
            if (x >= twice) {
                if (reader.readBit()) groupValues[index] = int16_t(x + d);
            } else if (x <= -twice) {
                if (reader.readBit()) groupValues[index] = int16_t(x - d);
            }
        }
    }
}

void PictureDecoder::storeGroup(int16_t* plane, int32_t first) {
    const int32_t cellWidth = width / 64;
    const int32_t cellHeight = height / 64;
    const int16_t* values = groupValues;
    for (int32_t s = first; s < first + 16; ++s) {
        Cell cell = cellOfScanPosition(s);
        int16_t* corner = plane + size_t(cell.row) * cellHeight * size_t(width) + size_t(cell.column) * cellWidth;
        for (int32_t y = 0; y < cellHeight; ++y) {
            std::memcpy(corner + size_t(y) * width, values, size_t(cellWidth) * sizeof(int16_t));
            values += cellWidth;
        }
    }
}
