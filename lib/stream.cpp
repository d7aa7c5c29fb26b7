#include "lib/stream.h"

#include <cstring>

#include "lib/heap.h"

namespace {
constexpr int32_t kCopyChunk = 65536;
constexpr int32_t kCopyAll = 2147483647;

template <typename T>
T readValue(Stream* stream) {
    T value{};  // a short read leaves the rest zero rather than undefined
    stream->read(&value, sizeof value);
    return value;
}

template <typename T>
int32_t writeValue(Stream* stream, T value) {
    return stream->write(&value, sizeof value);
}
}  // namespace

Stream::~Stream() = default;

int32_t Stream::seekRelative(int32_t offset) {
    return seek(static_cast<int32_t>(static_cast<uint32_t>(tell()) + static_cast<uint32_t>(offset)));
}

int32_t Stream::seekFromEnd(int32_t offset) {
    return seek(static_cast<int32_t>(static_cast<uint32_t>(size()) + static_cast<uint32_t>(offset)));
}

int32_t Stream::flush() { return 1; }

Stream* Stream::seekChained(int32_t position) {
    seek(position);
    return this;
}

int32_t Stream::atEnd() { return size() == tell() ? 1 : 0; }

int32_t Stream::readExact(void* destination, int32_t count) {
    return read(destination, count) == count ? 1 : 0;
}

int32_t Stream::writeExact(const void* source, int32_t count) {
    return write(source, count) == count ? 1 : 0;
}

int32_t Stream::copyFrom(Stream* source, int32_t count) {
    int32_t bufferSize;
    if (count < 1 || count == kCopyAll) {
        count = kCopyAll;
        bufferSize = kCopyChunk;
    } else {
        bufferSize = count < kCopyChunk ? count : kCopyChunk;
    }
    void* buffer = heapAlloc(static_cast<size_t>(bufferSize));
    if (!buffer) return 0;
    int32_t total = 0;
    int32_t got;
    int32_t put;
    do {
        int32_t chunk = count < kCopyChunk ? count : kCopyChunk;
        got = source->read(buffer, chunk);
        put = write(buffer, got);
        if (count != kCopyAll) count -= got;
        total += put;
    } while (count != 0 && got != 0 && put == got);
    heapFree(buffer);
    return total;
}

int32_t Stream::alignPosition(int32_t alignment) {
    int32_t position = tell();
    if (alignment == 0) return position;
    int32_t rest = position % alignment;
    if (rest == 0) return position;
    return seek(position - rest + alignment);
}

int32_t Stream::padTo(int32_t alignment, uint8_t value) {
    if (alignment != 0) {
        int32_t rest = tell() % alignment;
        if (rest != 0) {
            for (int32_t i = rest; i < alignment; ++i) writeU8(value);
        }
    }
    return tell();
}

int32_t Stream::readInt() { return readValue<int32_t>(this); }
int32_t Stream::writeInt(int32_t value) { return writeValue(this, value); }
uint32_t Stream::readUInt() { return readValue<uint32_t>(this); }
int32_t Stream::writeUInt(uint32_t value) { return writeValue(this, value); }
int32_t Stream::readLong() { return readValue<int32_t>(this); }
int32_t Stream::writeLong(int32_t value) { return writeValue(this, value); }
char Stream::readChar() { return readValue<char>(this); }
int32_t Stream::writeChar(char value) { return writeValue(this, value); }
int16_t Stream::readShort() { return readValue<int16_t>(this); }
int32_t Stream::writeShort(int16_t value) { return writeValue(this, value); }
uint8_t Stream::readUChar() { return readValue<uint8_t>(this); }
int32_t Stream::writeUChar(uint8_t value) { return writeValue(this, value); }
uint16_t Stream::readUShort() { return readValue<uint16_t>(this); }
int32_t Stream::writeUShort(uint16_t value) { return writeValue(this, value); }
uint32_t Stream::readULong() { return readValue<uint32_t>(this); }
int32_t Stream::writeULong(uint32_t value) { return writeValue(this, value); }
int64_t Stream::readInt64() { return readValue<int64_t>(this); }
int32_t Stream::writeInt64(int64_t value) { return writeValue(this, value); }
uint8_t Stream::readU8() { return readValue<uint8_t>(this); }
int32_t Stream::writeU8(uint8_t value) { return writeValue(this, value); }
uint16_t Stream::readU16() { return readValue<uint16_t>(this); }
int32_t Stream::writeU16(uint16_t value) { return writeValue(this, value); }
uint32_t Stream::readU32() { return readValue<uint32_t>(this); }
int32_t Stream::writeU32(uint32_t value) { return writeValue(this, value); }
uint64_t Stream::readU64() { return readValue<uint64_t>(this); }
int32_t Stream::writeU64(uint64_t value) { return writeValue(this, value); }
float Stream::readFloat() { return readValue<float>(this); }
int32_t Stream::writeFloat(float value) { return writeValue(this, value); }
double Stream::readDouble() { return readValue<double>(this); }
int32_t Stream::writeDouble(double value) { return writeValue(this, value); }

// Reads up to the terminator, storing at most capacity - 1 characters and a
// zero. When the buffer fills first, the rest is skipped up to and including
// the terminator (or the end of the stream).
template <typename Char>
static Char readTerminated(Stream* stream, Char* buffer, int32_t capacity, Char terminator) {
    Char character = 0;
    if (!stream->readExact(&character, sizeof character)) character = terminator;
    if (capacity < 1 || !buffer) {
        while (character != terminator) {
            if (!stream->readExact(&character, sizeof character)) return character;
        }
        return character;
    }
    *buffer = 0;
    while (character != terminator) {
        if (capacity > 1) {
            *buffer++ = character;
            *buffer = 0;
            --capacity;
        }
        if (!stream->readExact(&character, sizeof character)) break;
    }
    return character;
}

uint16_t Stream::readWideString(uint16_t* buffer, int32_t capacity, uint16_t terminator) {
    return readTerminated<uint16_t>(this, buffer, capacity, terminator);
}

char Stream::readString(char* buffer, int32_t capacity, char terminator) {
    return readTerminated<char>(this, buffer, capacity, terminator);
}

int32_t Stream::writeWideString(const uint16_t* text) {
    if (!text) return 0;
    int32_t length = 0;
    while (text[length]) ++length;
    return write(text, length * 2);
}

int32_t Stream::writeString(const char* text) {
    if (!text) return 0;
    return write(text, static_cast<int32_t>(std::strlen(text)));
}
