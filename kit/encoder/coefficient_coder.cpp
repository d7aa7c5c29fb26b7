#include "kit/encoder/coefficient_coder.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "kit/encoder/bit_writer.h"

namespace encoder {

namespace {

// Run state of the decoder's adaptive Golomb-Rice code within one bit plane.
// The decoder reads a code at the start of the plane and after every
// placement; each code either covers 2^k coefficients that stay zero ("0") or
// a run r < 2^k of zeros and one placed +-d ("1", then r and the sign in
// k + 1 bits).
class RunCoder {
public:
    explicit RunCoder(BitWriter& out) : out_(out) {}

    // Codes the significance pass of one bit plane. targets holds, for every
    // coefficient that is still zero when the pass reaches it, 0 (stays zero),
    // +1 or -1 (becomes +d or -d).
    void codePass(const std::vector<int8_t>& targets) {
        int k = 1;
        const size_t count = targets.size();
        size_t next = 0;  // index of the coefficient after the last code
        size_t nextSignificant = 0;
        for (;;) {
            while (nextSignificant < count && targets[nextSignificant] == 0) ++nextSignificant;
            const uint64_t span = uint64_t(1) << k;
            if (nextSignificant < count && nextSignificant - next < span) {
                const uint32_t run = uint32_t(nextSignificant - next);
                out_.writeBit(1);
                out_.writeBits((run << 1) | (targets[nextSignificant] < 0 ? 1u : 0u), k + 1);
                next = nextSignificant + 1;
                ++nextSignificant;
                if (k > 0) --k;
                continue;
            }
            // Either the next significant coefficient lies further away or
            // none is left: 2^k coefficients stay zero. The last of them is a
            // placement of zero, after which the decoder reads again.
            if (nextSignificant >= count && next >= count) {
                out_.writeBit(0);  // read after the last placement, never used
                return;
            }
            out_.writeBit(0);
            if (next + span > count) return;  // the pass ends inside this run
            next += span;
            if (++k > 23) throw std::logic_error("run parameter out of range");
        }
    }

private:
    BitWriter& out_;
};

}  // namespace

Cell cellOfScanPosition(int s) {
    if (s == 0) return {0, 0};
    int m = 0;
    while (s >= (1 << (2 * (m + 1)))) ++m;
    const int b = 1 << m;
    const int r = s - (1 << (2 * m));
    if (r < 2 * b * b) {
        const int j = r >> 1;
        if ((r & 1) == 0) return {j % b, b + j / b};
        return {b + j % b, j / b};
    }
    const int j = r - 2 * b * b;
    return {b + j % b, b + j / b};
}

void encodePlaneCoefficients(const std::vector<int16_t>& plane, int width, int height, BitWriter& out) {
    const int cellWidth = width / 64, cellHeight = height / 64;
    std::vector<size_t> order;  // plane indices of a group in visiting order
    std::vector<int8_t> targets;
    order.reserve(size_t(16) * cellWidth * cellHeight);
    for (int g = 0; g < 256; ++g) {
        order.clear();
        for (int s = 16 * g; s < 16 * g + 16; ++s) {
            const Cell cell = cellOfScanPosition(s);
            for (int y = 0; y < cellHeight; ++y)
                for (int x = 0; x < cellWidth; ++x)
                    order.push_back(size_t(cell.row * cellHeight + y) * width + size_t(cell.column * cellWidth + x));
        }
        int largest = 0;
        for (size_t index : order) largest = std::max(largest, std::abs(int(plane[index])));
        if (largest > 32767) throw std::invalid_argument("coefficient magnitude above 15 bits");
        int planes = 0;
        while ((largest >> planes) != 0) ++planes;
        out.writeBits(uint32_t(planes), 4);
        for (int bit = planes - 1; bit >= 0; --bit) {
            const int d = 1 << bit;
            targets.clear();
            for (size_t index : order) {
                const int magnitude = std::abs(int(plane[index]));
                if (magnitude >= 2 * d) continue;  // significant in an earlier plane
                targets.push_back(magnitude >= d ? (plane[index] < 0 ? -1 : 1) : 0);
            }
            RunCoder(out).codePass(targets);
            for (size_t index : order) {
                const int magnitude = std::abs(int(plane[index]));
                if (magnitude >= 2 * d) out.writeBit((magnitude & d) ? 1 : 0);
            }
        }
    }
}

}  // namespace encoder
