// Loops held in memory and mixed into the music with gliding volumes.
#include "audio/loop_mixer.h"

#include <cstdio>
#include <cstring>

#include "audio/wav_loop.h"

LoopMixer::LoopMixer(MusicStream* musicOwner) : owner(musicOwner), count(0) {
    for (LoopSlot& slot : slots) {
        slot.samples = nullptr;
        slot.frames = 0;
        slot.target_volume.store(0.0f, std::memory_order_relaxed);
        slot.current_volume = 0.0f;
        slot.position = 0;
    }
}

LoopMixer::~LoopMixer() {
    for (LoopSlot& slot : slots) free_loop_samples(slot.samples);
}

bool LoopMixer::load_loop(const char* name) {
    if (count >= kLoopSlotCount) {
        std::fprintf(stderr, "load_loop: %s: all %u loop slots are taken\n", name ? name : "",
                     unsigned(kLoopSlotCount));
        return false;
    }
    LoopSlot& slot = slots[count];
    // The slot number is used up whatever happens: slot 0 is always the idle
    // loop and slot 1 the active one.
    count += 1;
    free_loop_samples(slot.samples);
    slot.samples = nullptr;
    slot.frames = 0;
    slot.position = 0;
    slot.current_volume = 0.0f;
    slot.target_volume.store(0.0f, std::memory_order_relaxed);
    return load_wav_loop(name, &slot.samples, &slot.frames);
}

void LoopMixer::set_target_volume(uint32_t index, float volume) {
    if (index < kLoopSlotCount) slots[index].target_volume.store(volume, std::memory_order_relaxed);
}

int32_t LoopMixer::mix_loops(void* context, float* block, int32_t frames) {
    LoopMixer* mixer = static_cast<LoopMixer*>(context);
    uint32_t used = mixer->count < kLoopSlotCount ? mixer->count : kLoopSlotCount;
    for (uint32_t s = 0; s < used; ++s) {
        LoopSlot& slot = mixer->slots[s];
        // One read of the shared target per block: a value that arrives during
        // the block is taken up by the next one, which the glide hides.
        float target = slot.target_volume.load(std::memory_order_relaxed);
        // A silent slot does not advance; it resumes where it stopped.
        if (!slot.samples || slot.frames == 0 || (slot.current_volume == 0.0f && target == 0.0f))
            continue;
        // Intermediates in double precision, stored back in single precision.
        float current = slot.current_volume;
        uint32_t position = slot.position < slot.frames ? slot.position : 0;
        const int16_t* samples = slot.samples;
        for (int32_t j = 0; j < frames; ++j) {
            double gain = double(current) * (1.0 / 32768.0);
            block[2 * j] = float(double(block[2 * j]) + gain * samples[2 * position]);
            block[2 * j + 1] = float(double(block[2 * j + 1]) + gain * samples[2 * position + 1]);
            position += 1;
            if (position == slot.frames) position = 0;
            current = float(double(current) + (double(target) - double(current)) * 0.01);
            if (double(current) < 0.000001) current = 0.0f;
        }
        slot.current_volume = current;
        slot.position = position;
    }
    return frames;
}
