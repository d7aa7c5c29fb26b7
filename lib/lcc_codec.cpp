#include "lib/lcc_codec.h"

LccCodec* lccLzCodec();
LccCodec* lccZlibCodec();

LccCodec::~LccCodec() = default;

void* LccCodec::reserved(const void*, int32_t) { return nullptr; }

LccCodec* lccCodecForMethod(uint32_t method) {
    switch (method) {
        case LccLz: return lccLzCodec();
        case LccZlib: return lccZlibCodec();
        default: return nullptr;
    }
}
