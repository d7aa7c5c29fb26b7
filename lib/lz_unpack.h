#pragma once
// The archive's own LZ method: control bits interleaved with literal and
// offset bytes, gamma-coded numbers, a remembered last offset.

#include <cstdint>

enum class LzResult { Complete, Corrupt };

// Decodes one packed member into output. Reads at most packedSize bytes and
// writes at most unpackedSize bytes; *produced receives the bytes written.
// Complete only when the end marker is reached with exactly unpackedSize
// bytes produced. A stream that would overrun either buffer, repeats the last
// offset before a match has set it, copies from before the start of the
// output, or ends early is Corrupt. An empty member is zero packed bytes.
LzResult lzUnpack(const uint8_t* packed, int32_t packedSize, uint8_t* output,
                  int32_t unpackedSize, int32_t* produced);
