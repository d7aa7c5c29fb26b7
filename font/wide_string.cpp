#include <cstring>

#include "font/strings.h"
#include "font/wide_format.h"
#include "lib/heap.h"

namespace {

char16_t* allocate_wide(uint32_t capacity) {
    return static_cast<char16_t*>(heapAlloc((size_t(capacity) + 1) * sizeof(char16_t)));
}

void copy_units(char16_t* destination, const char16_t* source, uint32_t count) {
    std::memmove(destination, source, size_t(count) * sizeof(char16_t));
}

}  // namespace

WideString::WideString() : data(allocate_wide(kStringHeadroom)), length(0), capacity(kStringHeadroom) {
    data[0] = 0;
}

WideString::WideString(const char16_t* text) {
    length = uint32_t(wide_length(text));
    capacity = length + kStringHeadroom;
    data = allocate_wide(capacity);
    if (length) copy_units(data, text, length);
    data[length] = 0;
}

WideString::WideString(const WideString& other)
    : data(allocate_wide(other.length + kStringHeadroom)),
      length(other.length),
      capacity(other.length + kStringHeadroom) {
    copy_units(data, other.data, length);
    data[length] = 0;
}

WideString& WideString::operator=(const WideString& other) {
    assign(other);
    return *this;
}

WideString::~WideString() { heapFree(data); }

void WideString::assign(const WideString& other) {
    if (this == &other) return;
    if (other.length > capacity) {
        heapFree(data);
        capacity = other.length + kStringHeadroom;
        data = allocate_wide(capacity);
    }
    length = other.length;
    data[length] = 0;
    copy_units(data, other.data, length);
}

void WideString::reserve(uint32_t count) {
    if (uint64_t(length) + count <= capacity) return;
    capacity = length + count + kStringHeadroom;
    char16_t* grown = allocate_wide(capacity);
    copy_units(grown, data, length + 1);
    heapFree(data);
    data = grown;
}

void WideString::append(const WideString& other) {
    const uint32_t added = other.length;
    reserve(added);
    const char16_t* source = (&other == this) ? data : other.data;
    copy_units(data + length, source, added);
    length += added;
    data[length] = 0;
}

int32_t WideString::format(const char16_t* format_text, ...) {
    va_list arguments;
    va_start(arguments, format_text);
    const int32_t produced = format_list(format_text, arguments);
    va_end(arguments);
    return produced;
}

int32_t WideString::format_list(const char16_t* format_text, va_list arguments) {
    // First attempt in place, within the current capacity.
    size_t produced = format_wide(data, capacity, format_text, arguments);
    if (produced > 0 && produced <= capacity) {
        length = uint32_t(produced);
        return int32_t(produced);
    }

    // Empty or too long: a scratch buffer that grows until the text fits.
    uint32_t scratch_size = kFormatScratchStep;
    char16_t* scratch = static_cast<char16_t*>(heapAlloc(size_t(scratch_size) * sizeof(char16_t)));
    for (;;) {
        produced = format_wide(scratch, scratch_size - 1, format_text, arguments);
        scratch[scratch_size - 1] = 0;
        if (produced < scratch_size) break;
        heapFree(scratch);
        scratch_size += kFormatScratchStep;
        scratch = static_cast<char16_t*>(heapAlloc(size_t(scratch_size) * sizeof(char16_t)));
    }
    WideString temporary;
    // Keep every unit produced, zero units from "%c" included.
    temporary.reserve(uint32_t(produced));
    copy_units(temporary.data, scratch, uint32_t(produced));
    temporary.length = uint32_t(produced);
    temporary.data[produced] = 0;
    assign(temporary);
    heapFree(scratch);
    return int32_t(produced);
}

WideString operator+(const WideString& a, const WideString& b) {
    WideString temporary;
    temporary.reserve(a.length + b.length);
    temporary.assign(a);
    temporary.append(b);
    return WideString(temporary);
}
