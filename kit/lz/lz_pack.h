#pragma once
// Packs data into the archive's LZ method (read back by lzUnpack).

#include <cstddef>
#include <cstdint>
#include <vector>

// Returns the packed stream, ending with the end marker. The method always
// produces at least one byte, so empty input gives an empty stream: store
// empty members unpacked (method 0), or as zero packed bytes. Sizes are
// those of archive members (below 2 GiB).
std::vector<uint8_t> lzPack(const uint8_t* data, size_t size);
