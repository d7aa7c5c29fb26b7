#include "platform/sound.h"

SoundBuffer::~SoundBuffer() {}

SoundDevice::~SoundDevice() {}

SoundResult PassivePrimaryBuffer::getCurrentPosition(uint32_t*) { return SoundFailed; }

SoundResult PassivePrimaryBuffer::lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) {
    return SoundFailed;
}

SoundResult PassivePrimaryBuffer::unlock(void*, uint32_t, void*, uint32_t) { return SoundFailed; }

SoundResult PassivePrimaryBuffer::play() { return SoundOk; }

SoundResult PassivePrimaryBuffer::restore() { return SoundOk; }

SoundResult PassivePrimaryBuffer::setFormat(const SoundFormat&) { return SoundOk; }
