#pragma once
// A sound device whose cursor moves only when the test moves it; its state
// lives with the test, outside the device the player owns and deletes.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/sound.h"

struct VirtualSoundState {
    std::vector<uint8_t> ring;
    std::atomic<uint32_t> cursor{0};
    std::atomic<int> lose_on_position{0};  // next n cursor reads report a lost buffer
    std::atomic<int> lose_on_lock{0};      // next n locks report a lost buffer
    std::atomic<int> fail_lock{0};         // next n partial locks fail outright
    std::atomic<int> restores{0}, locks{0};
    bool refuse_stream_buffer = false, deleted = false;

    void advance(uint32_t bytes) { cursor = (cursor + bytes) % uint32_t(ring.size()); }
    int16_t sample_at(uint32_t byte_offset) const {
        int16_t value;
        std::memcpy(&value, ring.data() + (byte_offset % ring.size()), 2);
        return value;
    }
    // Takes one from `counter` when it is above 0.
    static bool take(std::atomic<int>& counter) { return counter > 0 && counter.fetch_sub(1) > 0; }
};

class VirtualStream : public SoundBuffer {
public:
    explicit VirtualStream(VirtualSoundState* state) : state(state) {}
    SoundResult getCurrentPosition(uint32_t* cursor) override {
        if (VirtualSoundState::take(state->lose_on_position)) return SoundBufferLost;
        *cursor = state->cursor;
        return SoundOk;
    }
    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1, void** region2,
                     uint32_t* length2, uint32_t flags) override {
        const uint32_t size = uint32_t(state->ring.size());
        if (flags & kSoundLockEntireBuffer) {
            offset = 0;
            bytes = size;
        } else {
            state->locks += 1;
            if (VirtualSoundState::take(state->lose_on_lock)) return SoundBufferLost;
            if (VirtualSoundState::take(state->fail_lock)) return SoundFailed;
        }
        if (offset >= size || bytes == 0 || bytes > size) return SoundFailed;
        *length1 = std::min(size - offset, bytes);
        *length2 = bytes - *length1;
        *region1 = state->ring.data() + offset;
        *region2 = *length2 ? state->ring.data() : nullptr;
        return SoundOk;
    }
    SoundResult unlock(void*, uint32_t, void*, uint32_t) override { return SoundOk; }
    SoundResult play() override { return SoundOk; }
    SoundResult restore() override { return state->restores += 1, SoundOk; }
    SoundResult setFormat(const SoundFormat&) override { return SoundFailed; }

private:
    VirtualSoundState* state;
};

class VirtualSoundDevice : public SoundDevice {
public:
    explicit VirtualSoundDevice(VirtualSoundState* state) : state(state) {}
    ~VirtualSoundDevice() override { state->deleted = true; }
    SoundResult setCooperativeLevel(void*) override { return SoundOk; }
    SoundBuffer* createPrimaryBuffer() override { return new PassivePrimaryBuffer; }
    SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat&) override {
        if (state->refuse_stream_buffer) return nullptr;
        state->ring.assign(bytes, 0xAB);  // garbage the player must clear
        return new VirtualStream(state);
    }

private:
    VirtualSoundState* state;
};
