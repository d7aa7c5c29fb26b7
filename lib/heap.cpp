#include "lib/heap.h"

#include <cstdint>
#include <cstdlib>

// Every block carries a header in front of the address handed out: the
// address of the underlying allocation, so that heapFree can release it. The
// header is 16 bytes so the block keeps the allocator's alignment.
namespace {
constexpr size_t kHeader = 16;
}

void* heapAlloc(size_t bytes) {
    if (bytes > SIZE_MAX - kHeader) return nullptr;
    unsigned char* raw = static_cast<unsigned char*>(std::malloc(bytes + kHeader));
    if (!raw) return nullptr;
    unsigned char* block = raw + kHeader;
    reinterpret_cast<void**>(block)[-1] = raw;
    return block;
}

void heapFree(void* block) {
    if (!block) return;
    std::free(reinterpret_cast<void**>(block)[-1]);
}
