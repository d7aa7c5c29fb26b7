#include "codec/bit_reader.h"

#include <cstring>

#include "lib/stream.h"

BitReader::BitReader()
    : stream(nullptr), position(kBufferSize), word(0), count(0), consumedBefore(-kBufferSize),
      delivered(0), streamEnded(true) {
    std::memset(buffer, 0, sizeof buffer);
}

void BitReader::attach(Stream* source) {
    stream = source;
    streamEnded = source == nullptr;
    delivered = 0;
    word = 0;
    count = 0;
    // An empty buffer whose whole content counts as consumed before the start.
    position = kBufferSize;
    consumedBefore = -kBufferSize;
    refill();
    topUp();
}

// Moves the unread bytes to the front and fills the rest from the stream;
// what the stream cannot deliver becomes zeros.
void BitReader::refill() {
    int32_t kept = kBufferSize - position;
    std::memmove(buffer, buffer + position, size_t(kept));
    consumedBefore += position;
    position = 0;
    int32_t filled = kept;
    while (!streamEnded && filled < kBufferSize) {
        int32_t got = stream->read(buffer + filled, kBufferSize - filled);
        if (got <= 0 || got > kBufferSize - filled) {
            streamEnded = true;
            break;
        }
        filled += got;
        delivered += got;
    }
    std::memset(buffer + filled, 0, size_t(kBufferSize + 8 - filled));
}
