#include <cstring>

#include "lib/heap.h"
#include "lib/stream.h"
#include "platform/resources.h"

MemoryStream::MemoryStream() : data_(nullptr), position_(0), size_(0), owned_(0), readOnly_(0) {}

MemoryStream::MemoryStream(void* block, int32_t size, int32_t owned) : MemoryStream() {
    attach(block, size, owned);
}

MemoryStream::~MemoryStream() { MemoryStream::close(); }

void MemoryStream::close() {
    if (owned_) heapFree(data_);
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
}

int32_t MemoryStream::read(void* destination, int32_t count) {
    if (!destination || !data_) return 0;
    if (count < 0) count = 0;
    if (count > size_ - position_) count = size_ - position_;
    std::memcpy(destination, data_ + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int32_t MemoryStream::write(const void* source, int32_t count) {
    if (!source || !data_ || readOnly_) return 0;
    if (count < 0) count = 0;
    if (count > size_ - position_) count = size_ - position_;
    std::memmove(data_ + position_, source, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int32_t MemoryStream::seek(int32_t position) {
    if (position < 0) position = 0;
    if (position > size_) position = size_;
    position_ = position;
    return position;
}

int32_t MemoryStream::tell() { return position_; }

int32_t MemoryStream::size() { return size_; }

int32_t MemoryStream::openResource(int32_t number) {
    const void* block = nullptr;
    int32_t bytes = 0;
    if (!platformFindResource(static_cast<uint16_t>(number & 0xFFFF), &block, &bytes)) return 0;
    readOnly_ = 1;
    // The resource is read-only: readOnly_ keeps every write away from it.
    return attach(const_cast<void*>(block), bytes, 0);
}

int32_t MemoryStream::loadFromStream(Stream* source, int32_t maximum) {
    if (!source) return 0;
    int32_t count = source->size() - source->tell();
    if (count < 0) count = 0;
    if (maximum >= 0 && maximum < count) count = maximum;
    if (!allocate(count)) return 0;  // also when there is nothing to load
    size_ = source->read(data_, count);
    if (size_ < 0) size_ = 0;
    return 1;
}

int32_t MemoryStream::attach(void* block, int32_t size, int32_t owned) {
    close();
    data_ = static_cast<uint8_t*>(block);
    size_ = size < 0 ? 0 : size;
    owned_ = owned;
    position_ = 0;
    return block && size > 0 ? 1 : 0;
}

int32_t MemoryStream::allocate(int32_t size) {
    close();
    if (size > 0) {
        void* block = heapAlloc(static_cast<size_t>(size));
        if (block) {
            data_ = static_cast<uint8_t*>(block);
            size_ = size;
            owned_ = 1;
        }
    }
    return data_ && size_ > 0 ? 1 : 0;
}

void* MemoryStream::detach() {
    if (!owned_ || !data_) return nullptr;
    void* block = data_;
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
    return block;
}
