#pragma once
// A block whose last byte sits right before an inaccessible page, so any read
// or write past its end faults at once.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : size_(size) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        dataPages_ = (size + page - 1) / page * page;
        if (dataPages_ == 0) dataPages_ = page;
        mapped_ = static_cast<uint8_t*>(
            mmap(nullptr, dataPages_ + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(mapped_ + dataPages_, page, PROT_NONE);
        // Bytes before the block proper are a guard we check for writes.
        std::memset(mapped_, guardByte, dataPages_);
    }
    GuardedBuffer(const std::vector<uint8_t>& contents) : GuardedBuffer(contents.size()) {
        if (!contents.empty()) std::memcpy(data(), contents.data(), contents.size());
    }
    ~GuardedBuffer() { munmap(mapped_, dataPages_ + static_cast<size_t>(sysconf(_SC_PAGESIZE))); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return mapped_ + dataPages_ - size_; }
    size_t size() const { return size_; }
    std::vector<uint8_t> contents() { return std::vector<uint8_t>(data(), data() + size_); }

    // True when nothing before the block was touched.
    bool frontIntact() const {
        for (size_t i = 0; i < dataPages_ - size_; i++) {
            if (mapped_[i] != guardByte) return false;
        }
        return true;
    }

    static const uint8_t guardByte = 0xA5;

private:
    size_t size_;
    size_t dataPages_;
    uint8_t* mapped_;
};
