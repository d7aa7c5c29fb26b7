#include "reference_decoder.h"


#include "codec/colour.h"
#include "codec/dequantise.h"
#include "codec/scan_order.h"
#include "codec/synthesis.h"

namespace {

// Reads bits most significant first; bits past the end read as zero.
struct Bits {
    const std::vector<uint8_t>& bytes;
    size_t position = 0;
    uint32_t read(int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i, ++position) {
            const size_t byte = position / 8;
            value = value * 2 + (byte < bytes.size() ? (bytes[byte] >> (7 - position % 8)) & 1 : 0);
        }
        return value;
    }
};

struct PlaneDecoder {
    Bits& bits;
    std::vector<int16_t>& plane;
    int32_t width, height;
    int32_t n = 0, k = 0, pending = 0;

    int32_t decodeRun(int32_t d) {
        if (bits.read(1) == 0) {
            pending = 0;
            return (1 << k++) - 1;
        }
        uint32_t v = bits.read(k + 1);
        pending = (v & 1) ? -d : d;
        if (k > 0) k -= 1;
        return int32_t(v >> 1);
    }

    // Cell by cell in scan order: the significance pass of the group, then its refinement pass.
    void passes(int32_t g, int32_t d) {
        for (int refine = 0; refine < 2; ++refine)
            for (int32_t s = 16 * g; s < 16 * g + 16; ++s) {
                const Cell cell = cellOfScanPosition(s);
                for (int32_t y = 0; y < height / 64; ++y)
                    for (int32_t x = 0; x < width / 64; ++x) {
                        int16_t& c =
                            plane[size_t(cell.row * (height / 64) + y) * width + cell.column * (width / 64) + x];
                        if (refine) {
                            if (c >= 2 * d && bits.read(1)) c = int16_t(c + d);
                            else if (c <= -2 * d && bits.read(1)) c = int16_t(c - d);
                        } else if (c == 0) {
                            if (n > 0) {
                                --n;
                            } else {
                                c = int16_t(pending);
                                n = decodeRun(d);
                            }
                        }
                    }
            }
    }

    void decode() {
        std::fill(plane.begin(), plane.end(), 0);
        for (int32_t g = 0; g < 256; ++g) {
            const int32_t planes = int32_t(bits.read(4));
            for (int32_t d = planes ? 1 << (planes - 1) : 0; d >= 1; d /= 2) {
                pending = 0;
                k = 1;
                n = decodeRun(d);
                passes(g, d);
            }
        }
    }
};

}  // namespace

std::vector<int16_t> referenceDequantise(const std::vector<int16_t>& coded, int32_t width, int32_t height,
                                         int32_t quality) {
    std::vector<int16_t> out(coded.size());
    for (int32_t by = 0; by < height / 8; ++by)
        for (int32_t bx = 0; bx < width / 8; ++bx) {
            for (int32_t i = 1; i < 64; ++i) {
                Subband sb = subbandOfIndex(i);
                int32_t x = coded[size_t(by + sb.row * height / 8) * width + bx + sb.column * width / 8];
                out[size_t(8 * by + i / 8) * width + 8 * bx + i % 8] =
                    reconstructCoefficient(x, quantiserStep(i % 8, i / 8, quality));
            }
            int32_t j = 8 * (by % 8) + bx % 8;
            Subband sb = subbandOfIndex(j);
            int32_t x = coded[size_t(by / 8 + sb.row * height / 64) * width + bx / 8 + sb.column * width / 64];
            out[size_t(8 * by) * width + 8 * bx] = reconstructCoefficient(x, quality);
        }
    return out;
}

void referenceSynthesize(std::vector<int16_t>& plane, int32_t width, int32_t height) {
    // Stage A, written out once more.
    for (int32_t ry = 0; ry < height / 64; ++ry)
        for (int32_t rx = 0; rx < width / 64; ++rx) {
            float m[8][8];
            for (int r = 0; r < 8; ++r)
                for (int c = 0; c < 8; ++c)
                    m[r][c] = float(2.0 * plane[size_t(64 * ry + 8 * r) * width + 64 * rx + 8 * c]);
            for (int c = 0; c < 8; ++c) idct8(&m[0][c], 8);
            for (int r = 0; r < 8; ++r) idct8(&m[r][0], 1);
            for (int r = 0; r < 8; ++r)
                for (int c = 0; c < 8; ++c)
                    plane[size_t(64 * ry + 8 * r) * width + 64 * rx + 8 * c] = planeValueOf(m[r][c]);
        }
    std::vector<float> scratch(size_t(std::max(width, height)) + 4);
    std::vector<int16_t> line(static_cast<size_t>(height));
    for (int32_t c = 0; c < width; ++c) {
        for (int32_t r = 0; r < height; ++r) line[r] = plane[size_t(r) * width + c];
        synthesizeLine(line.data(), height, scratch.data());
        for (int32_t r = 0; r < height; ++r) plane[size_t(r) * width + c] = line[r];
    }
    for (int32_t r = 0; r < height; ++r) synthesizeLine(&plane[size_t(r) * width], width, scratch.data());
}

std::vector<uint8_t> referenceDecode(const std::vector<uint8_t>& file) {
    Bits bits{file};
    const int32_t w = int32_t(bits.read(15)), h = int32_t(bits.read(15));
    static const int32_t qualities[3] = {20, 70, 70};
    std::vector<int16_t> samples[3];
    for (int p = 0; p < 3; ++p) {
        std::vector<int16_t> plane(size_t(w) * h);
        PlaneDecoder decoder{bits, plane, w, h};
        decoder.decode();
        samples[p] = referenceDequantise(plane, w, h, qualities[p]);
        referenceSynthesize(samples[p], w, h);
    }
    std::vector<uint8_t> bgr(size_t(w) * h * 3);
    for (size_t i = 0; i < size_t(w) * h; ++i)
        convertPixelToBgr(samples[0][i], samples[1][i], samples[2][i], &bgr[i * 3]);
    return bgr;
}
