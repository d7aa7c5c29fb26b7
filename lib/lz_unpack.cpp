#include "lib/lz_unpack.h"

#include <cstddef>
#include <cstring>

namespace {

// Gamma numbers beyond this cannot describe a length or offset of a block
// whose size is a signed 32-bit count.
const uint32_t gammaLimit = 1u << 30;

// Source bytes with the interleaved 8-bit tag register, kept in the top byte
// of a 32-bit word. Reading past the end yields zero bits and bytes and marks
// the stream truncated; the decoder checks the mark after every token, so zero
// bits also end any gamma loop.
struct BitSource {
    const uint8_t* next;
    const uint8_t* end;
    uint32_t tag;
    bool truncated;

    uint8_t byte() {
        if (next == end) {
            truncated = true;
            return 0;
        }
        return *next++;
    }

    uint32_t bit() {
        uint32_t result = tag >> 31;
        tag <<= 1;
        if (tag == 0) {
            // The register held only its end mark: this bit is the top bit of
            // a fresh tag byte, whose end mark moves in behind the data bits.
            uint32_t fresh = byte();
            result = fresh >> 7;
            tag = ((fresh << 1) + 1) << 24;
        }
        return result;
    }

    uint32_t gamma() {
        uint32_t value = 1;
        do {
            value = 2 * value + bit();
            if (value >= gammaLimit) {
                truncated = true;
                return 2;
            }
        } while (bit());
        return value;
    }

    uint32_t fourBits() {
        if (__builtin_ctz(tag) <= 27) {
            // All four are in the register already (its end mark lies below them).
            uint32_t result = tag >> 28;
            tag <<= 4;
            return result;
        }
        uint32_t result = 0;
        for (int i = 0; i < 4; i++) result = 2 * result + bit();
        return result;
    }

    // Control bits still waiting in the register that are zero: each of them
    // starts one literal, so a run of literals can be copied in one go.
    uint32_t pendingZeroBits() const { return __builtin_clz(tag); }

    // True when the register is used up and the next tag byte is zero: eight
    // literals follow it.
    bool eightLiteralsNext() const { return tag == 0x80000000u && end - next > 8 && next[0] == 0; }
};

// Copies a match so that it may overlap its own output, byte by byte in
// effect. The caller has checked that both ends lie within the block.
inline uint8_t* copyMatch(uint8_t* out, uint32_t offset, uint32_t length, const uint8_t* outEnd) {
    const uint8_t* from = out - offset;
    uint8_t* stop = out + length;
    if (offset >= 8 && static_cast<size_t>(outEnd - out) >= length + 8) {
        // Chunks of 8 never overlap themselves when the distance is at least 8;
        // the last chunk may spill up to 7 bytes that later tokens overwrite.
        do {
            std::memcpy(out, from, 8);
            out += 8;
            from += 8;
        } while (out < stop);
        return stop;
    }
    if (offset == 1) {
        std::memset(out, out[-1], length);
        return stop;
    }
    while (out < stop) *out++ = *from++;
    return stop;
}

}  // namespace

LzResult lzUnpack(const uint8_t* packed, int32_t packedSize, uint8_t* output,
                  int32_t unpackedSize, int32_t* produced) {
    *produced = 0;
    if (packedSize < 0 || unpackedSize < 0) return LzResult::Corrupt;
    if (packedSize == 0) return unpackedSize == 0 ? LzResult::Complete : LzResult::Corrupt;
    if (unpackedSize == 0) return LzResult::Corrupt;  // the first byte has nowhere to go

    BitSource source{packed, packed + packedSize, 0x80000000u, false};
    uint8_t* out = output;
    uint8_t* const outEnd = output + unpackedSize;
    uint32_t lastOffset = 0;  // 0: no match has set it yet

    *out++ = source.byte();

    LzResult result = LzResult::Corrupt;
    for (;;) {
        if (source.bit() == 0) {
            // A literal, and every literal whose control bit is already waiting.
            size_t count = 1 + source.pendingZeroBits();
            source.tag <<= count - 1;
            if (static_cast<size_t>(source.end - source.next) < count ||
                static_cast<size_t>(outEnd - out) < count) {
                break;
            }
            if (source.end - source.next >= 8 && outEnd - out >= 8) {
                std::memcpy(out, source.next, 8);  // one fixed-size move; the spill is rewritten later
            } else {
                std::memcpy(out, source.next, count);
            }
            source.next += count;
            out += count;
            // Data that does not pack is mostly zero tag bytes and literals.
            while (source.eightLiteralsNext() && outEnd - out >= 8) {
                std::memcpy(out, source.next + 1, 8);
                source.next += 9;
                out += 8;
            }
            continue;
        }

        uint32_t offset;
        uint32_t length;
        if (source.bit() == 0) {
            uint32_t high = source.gamma();
            if (high == 2) {
                length = source.gamma();
                offset = lastOffset;
                if (offset == 0) break;
            } else {
                if (high - 3 >= (1u << 23)) break;  // an offset beyond any block
                offset = ((high - 3) << 8) + source.byte();
                length = source.gamma();
                if (offset >= 32000) {
                    length += 2;
                } else if (offset >= 1280) {
                    length += 1;
                } else if (offset < 128) {
                    length += 2;
                }
                lastOffset = offset;
            }
        } else if (source.bit() == 0) {
            uint32_t code = source.byte();
            offset = code >> 1;
            if (offset == 0) {
                if (!source.truncated) {
                    result = out == outEnd ? LzResult::Complete : LzResult::Corrupt;
                }
                break;
            }
            length = 2 + (code & 1);
            lastOffset = offset;
        } else {
            uint32_t near = source.fourBits();
            if (source.truncated || out == outEnd) break;
            if (near == 0) {
                *out++ = 0;
                continue;
            }
            if (near > static_cast<uint32_t>(out - output)) break;
            *out = out[-static_cast<ptrdiff_t>(near)];
            out++;
            continue;
        }

        if (source.truncated || offset == 0 || offset > static_cast<uint32_t>(out - output) ||
            length > static_cast<uint32_t>(outEnd - out)) {
            break;
        }
        out = copyMatch(out, offset, length, outEnd);
    }
    *produced = static_cast<int32_t>(out - output);
    return result;
}
