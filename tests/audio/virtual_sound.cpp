#include "virtual_sound.h"

#include <cstring>

namespace {

class VirtualStream : public SoundBuffer {
public:
    explicit VirtualStream(VirtualSoundState* state) : state(state) {}

    SoundResult getCurrentPosition(uint32_t* cursor) override {
        if (state->lose_on_position.load() > 0) {
            state->lose_on_position.fetch_sub(1);
            return SoundBufferLost;
        }
        *cursor = state->cursor.load();
        return SoundOk;
    }

    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
                     void** region2, uint32_t* length2, uint32_t flags) override {
        uint32_t size = uint32_t(state->ring.size());
        if (flags & kSoundLockEntireBuffer) {
            offset = 0;
            bytes = size;
        } else {
            state->locks.fetch_add(1);
            if (state->lose_on_lock.load() > 0) {
                state->lose_on_lock.fetch_sub(1);
                return SoundBufferLost;
            }
            if (state->fail_lock.load() > 0) {
                state->fail_lock.fetch_sub(1);
                return SoundFailed;
            }
        }
        if (offset >= size || bytes == 0 || bytes > size) return SoundFailed;
        uint32_t first = size - offset < bytes ? size - offset : bytes;
        *region1 = state->ring.data() + offset;
        *length1 = first;
        *region2 = bytes > first ? state->ring.data() : nullptr;
        *length2 = bytes - first;
        return SoundOk;
    }

    SoundResult unlock(void*, uint32_t, void*, uint32_t) override { return SoundOk; }
    SoundResult play() override {
        state->playing = true;
        return SoundOk;
    }
    SoundResult restore() override {
        state->restores.fetch_add(1);
        return SoundOk;
    }
    SoundResult setFormat(const SoundFormat&) override { return SoundFailed; }

private:
    VirtualSoundState* state;
};

} // namespace

int16_t VirtualSoundState::sample_at(uint32_t byte_offset) const {
    int16_t value;
    std::memcpy(&value, ring.data() + (byte_offset % ring.size()), 2);
    return value;
}

SoundBuffer* VirtualSoundDevice::createPrimaryBuffer() { return new PassivePrimaryBuffer; }

SoundBuffer* VirtualSoundDevice::createStreamBuffer(uint32_t bytes, const SoundFormat&) {
    if (state->refuse_stream_buffer) return nullptr;
    state->ring.assign(bytes, 0xAB); // garbage the player must clear
    return new VirtualStream(state);
}
