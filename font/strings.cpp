#include "font/strings.h"

#include <cstdio>
#include <cstring>

#include "lib/heap.h"

namespace {

char* allocate_narrow(uint32_t capacity) {
    return static_cast<char*>(heapAlloc(size_t(capacity) + 1));
}

}  // namespace

String::String() : data(allocate_narrow(kStringHeadroom)), length(0), capacity(kStringHeadroom) {
    data[0] = 0;
}

String::String(const char* text) {
    length = text ? uint32_t(std::strlen(text)) : 0;
    capacity = length + kStringHeadroom;
    data = allocate_narrow(capacity);
    if (length) std::memcpy(data, text, length);
    data[length] = 0;
}

String::String(const String& other)
    : data(allocate_narrow(other.length + kStringHeadroom)),
      length(other.length),
      capacity(other.length + kStringHeadroom) {
    std::memcpy(data, other.data, length);
    data[length] = 0;
}

String& String::operator=(const String& other) {
    assign(other);
    return *this;
}

String::~String() { heapFree(data); }

void String::assign(const String& other) {
    if (this == &other) return;
    if (other.length > capacity) {
        heapFree(data);
        capacity = other.length + kStringHeadroom;
        data = allocate_narrow(capacity);
    }
    length = other.length;
    data[length] = 0;
    std::memcpy(data, other.data, length);
}

void String::reserve(uint32_t count) {
    if (uint64_t(length) + count <= capacity) return;
    capacity = length + count + kStringHeadroom;
    char* grown = allocate_narrow(capacity);
    std::memcpy(grown, data, size_t(length) + 1);
    heapFree(data);
    data = grown;
}

void String::append(const String& other) {
    const uint32_t added = other.length;
    reserve(added);
    // Appending a string to itself: its text is this buffer (maybe moved by reserve).
    const char* source = (&other == this) ? data : other.data;
    std::memmove(data + length, source, added);
    length += added;
    data[length] = 0;
}

int32_t String::format(const char* format_text, ...) {
    va_list arguments;
    va_start(arguments, format_text);
    const int32_t produced = format_list(format_text, arguments);
    va_end(arguments);
    return produced;
}

int32_t String::format_list(const char* format_text, va_list arguments) {
    // First attempt in place, within the current capacity.
    va_list attempt;
    va_copy(attempt, arguments);
    int produced = std::vsnprintf(data, size_t(capacity) + 1, format_text, attempt);
    va_end(attempt);
    if (produced > 0 && uint32_t(produced) <= capacity) {
        length = uint32_t(produced);
        return produced;
    }

    // Empty or too long: a scratch buffer that grows until the text fits.
    uint32_t scratch_size = kFormatScratchStep;
    char* scratch = static_cast<char*>(heapAlloc(scratch_size));
    for (;;) {
        va_copy(attempt, arguments);
        produced = std::vsnprintf(scratch, scratch_size, format_text, attempt);
        va_end(attempt);
        scratch[scratch_size - 1] = 0;
        if (produced < 0) {  // an encoding error gives an empty result
            scratch[0] = 0;
            produced = 0;
        }
        if (uint32_t(produced) < scratch_size) break;
        heapFree(scratch);
        scratch_size += kFormatScratchStep;
        scratch = static_cast<char*>(heapAlloc(scratch_size));
    }
    String temporary;
    // The result may hold zero bytes of its own (%c with 0): keep them all.
    temporary.reserve(uint32_t(produced));
    std::memcpy(temporary.data, scratch, size_t(produced));
    temporary.length = uint32_t(produced);
    temporary.data[produced] = 0;
    assign(temporary);
    heapFree(scratch);
    return produced;
}

String operator+(const String& a, const String& b) {
    String temporary;
    temporary.reserve(a.length + b.length);
    temporary.assign(a);
    temporary.append(b);
    return String(temporary);
}
