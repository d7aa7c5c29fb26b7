#pragma once
// Runs the unpacker with input and output each ending right before an
// inaccessible page, so any read or write past their ends faults at once.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lib/lz_unpack.h"

class GuardedBuffer {
public:
    GuardedBuffer(const std::vector<uint8_t>& contents, size_t size) : size_(size) {
        dataPages_ = (size / page() + 1) * page();
        mapped_ = static_cast<uint8_t*>(
            mmap(nullptr, dataPages_ + page(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(mapped_ + dataPages_, page(), PROT_NONE);
        std::memset(mapped_, kGuard, dataPages_);  // bytes before the block show stray writes
        if (!contents.empty()) std::memcpy(data(), contents.data(), contents.size());
    }
    ~GuardedBuffer() { munmap(mapped_, dataPages_ + page()); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return mapped_ + dataPages_ - size_; }
    std::vector<uint8_t> contents() { return std::vector<uint8_t>(data(), data() + size_); }
    // True when nothing before the block was touched.
    bool frontIntact() const {
        return std::all_of(mapped_, mapped_ + dataPages_ - size_, [](uint8_t byte) { return byte == kGuard; });
    }

private:
    static size_t page() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    static const uint8_t kGuard = 0xA5;
    size_t size_, dataPages_;
    uint8_t* mapped_;
};

struct Unpacked {
    LzResult result;
    int32_t produced = -1;
    std::vector<uint8_t> output;
    bool frontIntact;  // nothing written before the output block
};

inline Unpacked unpackGuarded(const std::vector<uint8_t>& packed, size_t unpackedSize) {
    GuardedBuffer input(packed, packed.size()), output({}, unpackedSize);
    Unpacked result;
    result.result = lzUnpack(input.data(), static_cast<int32_t>(packed.size()), output.data(),
                             static_cast<int32_t>(unpackedSize), &result.produced);
    result.output = output.contents();
    result.frontIntact = output.frontIntact();
    return result;
}
