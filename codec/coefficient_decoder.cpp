// Bit-plane decoding of the coefficients of one plane.
#include <cstring>

#include "codec/picture_decoder.h"
#include "codec/scan_order.h"
#include "lib/heap.h"

namespace {

const uint64_t kOnes8 = 0x0101010101010101ull;

inline int32_t countBits(uint64_t v) {
#ifdef __POPCNT__
    return __builtin_popcountll(v);
#else
    v = v - ((v >> 1) & 0x5555555555555555ull);
    v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int32_t((v * kOnes8) >> 56);
#endif
}

// selectInByte[b + 256 * n]: position of set bit number n of the byte b.
struct ByteSelect {
    uint8_t position[256 * 8];
    ByteSelect() {
        for (int b = 0; b < 256; ++b)
            for (int n = 0; n < 8; ++n) {
                int seen = 0, at = 0;
                for (int bit = 0; bit < 8; ++bit)
                    if (b & (1 << bit)) {
                        if (seen == n) at = bit;
                        ++seen;
                    }
                position[b + 256 * n] = uint8_t(at);
            }
    }
};
const ByteSelect byteSelect;

// Position of set bit number n (0-based) of v, which has more than n set bits:
// byte-wise prefix counts find the byte, a table the bit within it.
inline int32_t selectBit(uint64_t v, int32_t n) {
    uint64_t s = v - ((v >> 1) & 0x5555555555555555ull);
    s = (s & 0x3333333333333333ull) + ((s >> 2) & 0x3333333333333333ull);
    s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    const uint64_t sums = s * kOnes8;  // byte i: set bits in bytes 0 .. i
    const uint64_t highBits = 0x80 * kOnes8;
    // Bytes whose prefix count is at most n have their high bit set.
    const uint64_t atMost = ((uint64_t(n) * kOnes8 | highBits) - sums) & highBits;
    const int32_t place = int32_t((((atMost >> 7) * kOnes8) >> 56) * 8);
    const int32_t before = int32_t(((sums << 8) >> place) & 0xFF);
    return place + byteSelect.position[((v >> place) & 0xFF) + 256 * uint32_t(n - before)];
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

namespace {

struct RunState {
    int32_t zeroRun;
    int32_t riceParameter;
    int32_t pendingValue;
};

// Reads one run code. Both kinds are decoded without a branch on the flag
// bit, which is as good as random. f = 0: 2^k coefficients stay zero, k + 1.
// f = 1: the next k + 1 bits hold the run (upper k bits) and the sign, k - 1.
inline __attribute__((always_inline)) bool readRunCode(BitReader& reader, RunState& state, int32_t d) {
    const int32_t k = state.riceParameter;
    const uint64_t bits = reader.peek25();
    const int32_t f = int32_t(bits >> 63);
    // A run longer than the group ends the pass long before k reaches 30;
    // a code of more than 24 bits is not in the format.
    if (k > 30 || (f != 0 && k > 23)) return false;
    const int32_t width = (k > 23 ? 23 : k) + 1;
    const uint32_t v = uint32_t((bits << 1) >> (64 - width));
    const int32_t isOne = -f;  // all ones for f = 1
    const int32_t sign = -int32_t(v & 1);
    state.pendingValue = ((d ^ sign) - sign) & isOne;
    state.zeroRun = (int32_t(v >> 1) & isOne) | (int32_t((uint32_t(1) << k) - 1) & ~isOne);
    state.riceParameter = f != 0 ? k - (k > 0) : k + 1;
    reader.skip(1 + ((k + 1) & isOne));
    return true;
}

// The significance pass over a group in visiting order. The restrict
// qualifiers tell the compiler that the bitmap and values do not overlap the
// bit reader, which then stays in registers.
bool runSignificancePass(BitReader& reader, RunState& run, int16_t* __restrict values,
                         uint64_t* __restrict significant, int32_t groupSize, int32_t groupWords, int32_t d) {
    RunState state = run;
    int32_t position = 0;  // first coefficient not yet visited
    bool ok = true;
    while (position < groupSize) {
        // Find the zero coefficient that ends the current run: skip zeroRun
        // zero coefficients, a word of the bitmap at a time.
        int32_t word = position >> 6;
        uint64_t zeros = ~significant[word] & (~uint64_t(0) << (position & 63));
        int32_t skip = state.zeroRun;
        int32_t available;
        bool outlasts = false;
        while (skip >= (available = countBits(zeros))) {
            skip -= available;
            if (++word == groupWords) {
                outlasts = true;  // the run outlasts the pass
                break;
            }
            zeros = ~significant[word];
        }
        if (outlasts) break;
        const int32_t target = word * 64 + selectBit(zeros, skip);
        // A pending 0 leaves the coefficient as it was: zero and not significant.
        values[target] = int16_t(state.pendingValue);
        significant[word] |= uint64_t(state.pendingValue != 0) << (target & 63);
        if (!readRunCode(reader, state, d)) {
            ok = false;
            break;
        }
        position = target + 1;
    }
    run = state;
    return ok;
}

}  // namespace

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
    bool ok = runSignificancePass(reader, state, groupValues, significant, groupSize, groupWords, d);
    zeroRun = state.zeroRun;
    riceParameter = state.riceParameter;
    pendingValue = state.pendingValue;
    return ok;
}

void PictureDecoder::refinementPass(int32_t d) {
    const int32_t twice = 2 * d;
    for (int32_t word = 0; word < groupWords; ++word) {
        uint64_t bits = significant[word];
        while (bits != 0) {
            int32_t index = word * 64 + __builtin_ctzll(bits);
            bits &= bits - 1;
            int32_t x = groupValues[index];
            // Without branches on the data: coefficients placed in this plane
            // (|x| = d) and the padding (0) read no bit.
            int32_t sign = x >> 31;
            int32_t refined = ((x ^ sign) - sign) >= twice;
            int32_t bit = int32_t(reader.takeBitIf(refined));
            groupValues[index] = int16_t(x + (((d ^ sign) - sign) & -bit));
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
