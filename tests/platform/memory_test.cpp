// Freed heap pages go back to the system: the player calls this once per
// picture, so a long show does not keep the pages of every buffer it freed.
#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VEL_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEL_SANITIZER_ALLOCATOR 1
#endif

namespace {

// The process's resident anonymous memory in kB, as /proc tells it.
long residentAnonymousKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssAnon:", 0) == 0) return std::stol(line.substr(8));
    return -1;
}

} // namespace

TEST(ReleaseFreeMemory, GivesTheFreedPagesInsideTheHeapBack) {
#ifdef VEL_SANITIZER_ALLOCATOR
    GTEST_SKIP() << "a sanitizer's allocator keeps its own pages, apart from the C library's heap";
#endif
    // Blocks under the size the allocator maps on their own, each followed by
    // a small one that stays: freeing the large ones leaves holes in the heap
    // that freeing alone does not give back.
    const size_t kBlocks = 1500, kBlockBytes = 64 * 1024;
    std::vector<void*> large, small;
    for (size_t i = 0; i < kBlocks; ++i) {
        large.push_back(std::malloc(kBlockBytes));
        small.push_back(std::malloc(16));
        ASSERT_NE(large.back(), nullptr);
        std::memset(large.back(), 0x5A, kBlockBytes);
    }
    for (void* block : large) std::free(block);
    const long held = residentAnonymousKb();
    ASSERT_GT(held, 0);

    platformReleaseFreeMemory();
    const long after = residentAnonymousKb();
    // About 94 MB were freed; most of it must have left the process.
    EXPECT_LT(after, held - 60 * 1024) << "held " << held << " kB, after " << after << " kB";
    for (void* block : small) std::free(block);
}
