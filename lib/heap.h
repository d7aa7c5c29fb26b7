#pragma once
// The heap that every allocation of the system's own code comes from.
#include <cstddef>

// A block of at least `bytes` bytes, aligned for any type; null on failure.
void* heapAlloc(size_t bytes);

// Releases a block from heapAlloc; null does nothing.
void heapFree(void* block);
