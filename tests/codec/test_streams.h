#pragma once
// Streams and bit strings for the codec tests.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "lib/stream.h"

// Appends bits most significant first, as the picture format stores them.
struct TestBitWriter {
    std::vector<uint8_t> bytes;
    size_t used = 0;

    void putBit(uint32_t bit) {
        if (used % 8 == 0) bytes.push_back(0);
        if (bit) bytes.back() |= uint8_t(0x80 >> (used % 8));
        ++used;
    }
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1);
    }
    // A string of '0' and '1' characters; anything else is ignored.
    void putString(const std::string& text) {
        for (char c : text)
            if (c == '0' || c == '1') putBit(c == '1');
    }
    size_t bitCount() const { return used; }
};

// A memory stream that hands out at most a few bytes per read, as a slow device might.
class TrickleStream : public MemoryStream {
public:
    TrickleStream(void* block, int32_t size, int32_t most) : MemoryStream(block, size, 0), most(most) {}
    int32_t read(void* destination, int32_t count) override { return MemoryStream::read(destination, std::min(count, most)); }

private:
    int32_t most;
};
