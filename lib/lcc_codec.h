#pragma once
// Unpackers of archive directories and members, one object per method.
#include <cstdint>

class MemoryStream;

class LccCodec {
public:
    virtual ~LccCodec();
    // Unused; kept so every codec has the same two operations.
    virtual void* reserved(const void* source, int32_t size);
    // A new stream owning a block with the unpacked bytes; null only when the
    // block cannot be allocated. Corrupt data is a fatal report.
    virtual MemoryStream* decompress(const uint8_t* source, int32_t packedSize, int32_t unpackedSize) = 0;
};

enum LccMethod : uint32_t { LccStored = 0, LccLz = 1, LccZlib = 2 };

// The codec of a method: 1 LZ, 2 zlib; null for stored data and unknown methods.
LccCodec* lccCodecForMethod(uint32_t method);
