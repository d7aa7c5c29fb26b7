#pragma once
// A sound device for tests: the ring is plain memory and the play cursor moves
// only when the test moves it, so every refill is deterministic. The state
// lives with the test, outside the device the player owns and deletes.
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/sound.h"

struct VirtualSoundState {
    std::vector<uint8_t> ring;
    std::atomic<uint32_t> cursor{0};
    std::atomic<bool> playing{false};
    std::atomic<int> lose_on_position{0};  // next n cursor reads report a lost buffer
    std::atomic<int> lose_on_lock{0};      // next n locks report a lost buffer
    std::atomic<int> fail_lock{0};         // next n partial locks fail outright
    std::atomic<int> restores{0};
    std::atomic<int> locks{0};
    bool refuse_stream_buffer = false;
    bool deleted = false;

    // Moves the cursor forward by `bytes`, wrapping around the ring.
    void advance(uint32_t bytes) {
        cursor.store((cursor.load() + bytes) % uint32_t(ring.empty() ? 1 : ring.size()));
    }
    int16_t sample_at(uint32_t byte_offset) const;
};

class VirtualSoundDevice : public SoundDevice {
public:
    explicit VirtualSoundDevice(VirtualSoundState* state) : state(state) {}
    ~VirtualSoundDevice() override { state->deleted = true; }
    SoundResult setCooperativeLevel(void*) override { return SoundOk; }
    SoundBuffer* createPrimaryBuffer() override;
    SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat& format) override;

private:
    VirtualSoundState* state;
};
