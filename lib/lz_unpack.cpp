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

// Far from both buffer ends a token cannot run past either of them except
// through its match length, so the fast loop checks the margins once per
// token. A token reads at most two gamma numbers of up to 60 bits (eight tag
// bytes each), an offset byte and a move of 16 literals; it writes literals in
// moves of 16 and matches in chunks of up to 16 that may spill past their end.
const ptrdiff_t inputMargin = 64;
const ptrdiff_t outputMargin = 64;

// Gamma numbers whose digit pairs all lie in the top byte of the register:
// the number of bits they take and their value; when the number goes on past
// the byte, bits is 0 and value holds the byte's four digits.
struct GammaEntry {
    uint8_t bits;
    uint8_t value;
};

struct GammaTable {
    GammaEntry entries[256];

    GammaTable() : entries() {
        for (uint32_t top = 0; top < 256; top++) {
            entries[top].value = static_cast<uint8_t>((top >> 4 & 8) | (top >> 3 & 4) | (top >> 2 & 2) | (top >> 1 & 1));
            uint32_t value = 1;
            for (uint32_t pair = 0; pair < 4; pair++) {
                uint32_t digit = (top >> (7 - 2 * pair)) & 1;
                uint32_t more = (top >> (6 - 2 * pair)) & 1;
                value = 2 * value + digit;
                if (!more) {
                    entries[top] = {static_cast<uint8_t>(2 * pair + 2), static_cast<uint8_t>(value)};
                    break;
                }
            }
        }
    }
};

const GammaTable gammaTable;

// A gamma number too long for any block; it fails every length and offset check.
const uint32_t badGamma = 1u << 31;

enum class FastStop { Margin, End, Bad };

// The near token's byte: a zero for near 0, else the byte near back. False
// when that lies before the output's start.
inline bool writeNearByte(uint32_t near, uint8_t*& out, const uint8_t* output) {
    if (near > static_cast<uint32_t>(out - output)) return false;
    // Without a branch: near 0 reads the byte about to be written.
    uint8_t previous = out[-static_cast<ptrdiff_t>(near)];
    *out = static_cast<uint8_t>(previous & -static_cast<uint32_t>(near != 0));
    out++;
    return true;
}

// The bit reader of BitSource without end checks, for the fast loop.
struct FastBits {
    const uint8_t* next;
    uint32_t tag;

    uint32_t bit() {
        uint32_t result = tag >> 31;
        tag <<= 1;
        if (__builtin_expect(tag == 0, 0)) {
            uint32_t fresh = *next++;
            result = fresh >> 7;
            tag = ((fresh << 1) + 1) << 24;
        }
        return result;
    }

    // Appends the next source byte to the bits left in the register, the end
    // mark moving below it. Only for a byte that is sure to be the next tag
    // byte: the bits still to come are control bits with no byte between
    // them, more than the register holds.
    void appendTagByte() {
        uint32_t held = 31 - __builtin_ctz(tag);
        tag = (tag & (tag - 1)) | (static_cast<uint32_t>(*next++) << (24 - held)) | (1u << (23 - held));
    }

    uint32_t gamma() {
        // Short numbers whose bits are all in the register: one look-up. The
        // register still holds its end mark after them when they fit.
        GammaEntry entry = gammaTable.entries[tag >> 24];
        uint32_t rest = tag << entry.bits;
        if (__builtin_expect(entry.bits != 0 && rest != 0, 1)) {
            tag = rest;
            return entry.value;
        }
        uint32_t value = 1;
        if (entry.bits != 0) {
            // The number runs past the bits in the register; no bytes are
            // read between the bits of a number, so it goes on in the next
            // tag byte. With that, the top byte is all control bits.
            appendTagByte();
            entry = gammaTable.entries[tag >> 24];
            if (entry.bits != 0) {
                tag <<= entry.bits;
                return entry.value;
            }
            // Longer still: its first four digits are in that byte.
            value = 16 | entry.value;
            tag <<= 8;
        }
        do {
            value = 2 * value + bit();
            if (value >= gammaLimit) return badGamma;
        } while (bit());
        return value;
    }
};

// Decodes tokens while both buffers have their margins left. Copies are
// checked against the start of the output and the room left in it.
FastStop fastTokens(BitSource& source, uint8_t*& outRef, uint8_t* output, uint8_t* outEnd,
                    uint32_t& lastOffsetRef) {
    FastBits bits{source.next, source.tag};
    uint8_t* out = outRef;
    uint32_t lastOffset = lastOffsetRef;
    const uint8_t* const inLimit = source.end - inputMargin;
    uint8_t* const outLimit = outEnd - outputMargin;
    FastStop stop = FastStop::Margin;

    while (bits.next < inLimit && out < outLimit) {
        if (static_cast<int32_t>(bits.tag) > 0) {
            // A control bit 0 waits in the register: a literal, and every
            // literal whose control bit follows it there.
            // Up to 15: the register may hold bits of two tag bytes.
            uint32_t count = __builtin_clz(bits.tag << 1) + 1;
            bits.tag <<= count;
            std::memcpy(out, bits.next, 16);
            bits.next += count;
            out += count;
            continue;
        }
        if ((bits.tag >> 25) >= 0x70 && (bits.tag << 7) != 0) {
            // A near token wholly in the register.
            uint32_t near = (bits.tag >> 25) & 15;
            bits.tag <<= 7;
            if (!writeNearByte(near, out, output)) {
                stop = FastStop::Bad;
                break;
            }
            continue;
        }
        bool match;
        bool shortMatch;
        if ((bits.tag << 3) != 0) {
            // The three control bits are in the register (the first is 1).
            match = (bits.tag >> 30) == 2;
            shortMatch = (bits.tag >> 29) == 6;
            bits.tag <<= match ? 2 : 3;
        } else {
            // Fewer than three control bits are left. Either the register is
            // used up, or it holds a first bit 1, and such a token reads at
            // least three control bits before any byte: either way the next
            // source byte is the next tag byte.
            bits.appendTagByte();
            continue;
        }

        uint32_t offset;
        uint32_t length;
        if (match) {
            uint32_t high = bits.gamma();
            if (high == 2) {
                length = bits.gamma();
                offset = lastOffset;
            } else {
                if (high - 3 >= (1u << 23)) {
                    stop = FastStop::Bad;
                    break;
                }
                offset = ((high - 3) << 8) + *bits.next++;
                // A far source is likely out of the cache: ask for it while
                // the length is read.
                __builtin_prefetch(out - offset);
                // The length bonus by offset range (2 below 128, 0 below 1280,
                // 1 below 32000, else 2) without branches: the ranges follow
                // no pattern.
                length = bits.gamma() + 2 * (offset < 128) + (offset >= 1280) + (offset >= 32000);
                lastOffset = offset;
            }
        } else if (shortMatch) {
            uint32_t code = *bits.next++;
            offset = code >> 1;
            if (offset == 0) {
                stop = FastStop::End;
                break;
            }
            length = 2 + (code & 1);
            lastOffset = offset;
        } else {
            // Its four bits follow the three control bits directly.
            if (__builtin_ctz(bits.tag) > 27) bits.appendTagByte();
            uint32_t near = bits.tag >> 28;
            bits.tag <<= 4;
            if (!writeNearByte(near, out, output)) {
                stop = FastStop::Bad;
                break;
            }
            continue;
        }

        size_t room = static_cast<size_t>(outEnd - out);
        if (offset == 0 || offset > static_cast<uint32_t>(out - output) || length > room) {
            stop = FastStop::Bad;
            break;
        }
        const uint8_t* from = out - offset;
        uint8_t* copyEnd = out + length;
        if (length + 16 > room) {
            while (out < copyEnd) *out++ = *from++;
        } else if (offset >= 16) {
            // Most matches: chunks of 16 that never overlap themselves; the
            // last may spill past the match, and later tokens rewrite that.
            do {
                std::memcpy(out, from, 16);
                out += 16;
                from += 16;
            } while (out < copyEnd);
        } else if (length <= 3) {
            // Bytes written just now: single-byte moves take them straight
            // from the pending stores, where a wide load would wait.
            out[0] = from[0];
            out[1] = from[1];
            out[2] = from[2];
        } else if (offset >= 8) {
            do {
                std::memcpy(out, from, 8);
                out += 8;
                from += 8;
            } while (out < copyEnd);
        } else if (offset == 1) {
            uint64_t run = out[-1] * 0x0101010101010101ull;
            do {
                std::memcpy(out, &run, 8);
                out += 8;
            } while (out < copyEnd);
        } else {
            while (out < copyEnd) *out++ = *from++;
        }
        out = copyEnd;
    }
    source.next = bits.next;
    source.tag = bits.tag;
    outRef = out;
    lastOffsetRef = lastOffset;
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
    const bool roomForFastTokens = packedSize > inputMargin && unpackedSize > outputMargin;
    for (;;) {
        if (roomForFastTokens) {
            FastStop stop = fastTokens(source, out, output, outEnd, lastOffset);
            if (stop == FastStop::End) {
                result = out == outEnd ? LzResult::Complete : LzResult::Corrupt;
                break;
            }
            if (stop == FastStop::Bad) break;
        }
        if (source.bit() == 0) {
            // A literal, and every literal whose control bit is already waiting.
            size_t count = 1 + source.pendingZeroBits();
            source.tag <<= count - 1;
            if (static_cast<size_t>(source.end - source.next) < count ||
                static_cast<size_t>(outEnd - out) < count) {
                break;
            }
            if (count <= 8 && source.end - source.next >= 8 && outEnd - out >= 8) {
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
