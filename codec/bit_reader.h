#pragma once

#include <cstdint>

class Stream;

// Reads a stream as one bit stream, most significant bit of each byte first.
// The stream is read forward in blocks; bits past its end read as zero, and
// pastEnd() tells whether any of them were consumed.
// The inline readers are always inlined: one file of the codec is compiled
// for newer processors, and no out-of-line copy of them may come from there.
class BitReader {
public:
    static const int32_t kBufferSize = 4096;

    BitReader();

    // Starts reading at the stream's current position.
    void attach(Stream* stream);

    // The next n bits (1 <= n <= 24), the first bit read being the most significant.
    __attribute__((always_inline)) uint32_t readBits(int32_t n) {
        if (count < n) topUp();
        uint32_t value = uint32_t(word >> (64 - n));
        word <<= n;
        count -= n;
        return value;
    }

    __attribute__((always_inline)) uint32_t readBit() {
        if (count < 1) topUp();
        uint32_t value = uint32_t(word >> 63);
        word <<= 1;
        count -= 1;
        return value;
    }

    // The next 25 bits or more, left-aligned in a 64-bit word, without consuming them.
    __attribute__((always_inline)) uint64_t peek25() {
        if (count < 25) topUp();
        return word;
    }
    // Consumes n bits (0 <= n <= 25) after peek25.
    __attribute__((always_inline)) void skip(int32_t n) {
        word <<= n;
        count -= n;
    }

    // Bits consumed since attach.
    int64_t bitsConsumed() const { return (consumedBefore + position) * 8 - count; }
    // Bytes the stream delivered since attach.
    int64_t bytesDelivered() const { return delivered; }
    // True when more bits were consumed than the stream held.
    bool pastEnd() const { return bitsConsumed() > delivered * 8; }

private:
    friend class BitWindow;

    // Brings a word to 56 .. 63 valid bits with one 8-byte load from
    // bytes + position; inline, as the decoding loops call it every few codes.
    __attribute__((always_inline)) static void fill(const uint8_t* bytes, int32_t& position, uint64_t& word,
                                                    int32_t& count) {
        const uint8_t* p = bytes + position;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        uint64_t loaded;
        __builtin_memcpy(&loaded, p, 8);
        loaded = __builtin_bswap64(loaded);
#else
        uint64_t loaded = (uint64_t(p[0]) << 56) | (uint64_t(p[1]) << 48) | (uint64_t(p[2]) << 40) |
                          (uint64_t(p[3]) << 32) | (uint64_t(p[4]) << 24) | (uint64_t(p[5]) << 16) |
                          (uint64_t(p[6]) << 8) | uint64_t(p[7]);
#endif
        word |= loaded >> count;
        int32_t taken = (63 - count) >> 3;
        position += taken;
        count += taken * 8;
    }
    __attribute__((always_inline)) void topUp() {
        if (position > kBufferSize - 8) refill();
        fill(buffer, position, word, count);
    }
    void refill();

    Stream* stream;
    int32_t position;        // next byte of the buffer to enter the word
    uint64_t word;           // the next count bits, left-aligned; the rest zero
    int32_t count;
    int64_t consumedBefore;  // bytes that left the buffer before the last refill
    int64_t delivered;
    bool streamEnded;
    // Eight bytes of zeros behind the block keep every 8-byte load inside.
    uint8_t buffer[kBufferSize + 8];
};

// A reader's position held in local variables while a tight loop reads: the
// compiler keeps them in registers, which it cannot do with the reader's own
// fields (any store to the decoded values might reach them). Nothing else
// may read from the reader until close() hands the position back.
class BitWindow {
public:
    __attribute__((always_inline)) explicit BitWindow(BitReader& reader)
        : reader_(reader), word_(reader.word), count_(reader.count), position_(reader.position) {}

    __attribute__((always_inline)) uint32_t readBits(int32_t n) {
        if (count_ < n) topUp();
        uint32_t value = uint32_t(word_ >> (64 - n));
        word_ <<= n;
        count_ -= n;
        return value;
    }
    __attribute__((always_inline)) uint64_t peek25() {
        if (count_ < 25) topUp();
        return word_;
    }
    __attribute__((always_inline)) void skip(int32_t n) {
        word_ <<= n;
        count_ -= n;
    }
    // The next 56 bits or more, left-aligned, without consuming them. The
    // word is topped up every time, without a branch on how full it is.
    __attribute__((always_inline)) uint64_t peek56() {
        topUp();
        return word_;
    }
    __attribute__((always_inline)) void close() {
        reader_.word = word_;
        reader_.count = count_;
        reader_.position = position_;
    }

private:
    __attribute__((always_inline)) void topUp() {
        if (position_ > BitReader::kBufferSize - 8) {
            close();
            reader_.refill();
            position_ = reader_.position;
        }
        BitReader::fill(reader_.buffer, position_, word_, count_);
    }

    BitReader& reader_;
    uint64_t word_;
    int32_t count_;
    int32_t position_;
};
