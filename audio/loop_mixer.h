#pragma once
// Short looping sounds held in memory and added to the music on the audio
// thread, each at a volume that glides towards a target set by the show.
#include <atomic>
#include <cstdint>

class MusicStream;

const uint32_t kLoopSlotCount = 8;

struct LoopSlot {
    int16_t* samples;                  // interleaved stereo frames; null when empty
    uint32_t frames;
    std::atomic<float> target_volume;  // written by the show, read by the audio thread
    float current_volume;              // audio thread only
    uint32_t position;                 // next frame to play; audio thread only
};

class LoopMixer {
public:
    explicit LoopMixer(MusicStream* owner = nullptr);
    ~LoopMixer();

    // Loads a RIFF WAVE file (16-bit PCM stereo, 44100 Hz) into the next slot.
    // A missing or unusable file leaves the slot empty but still uses up its
    // number; true when samples were loaded. Main thread, before the music.
    bool load_loop(const char* name);
    // The music's mix hook: adds every audible loop to the block.
    static int32_t mix_loops(void* mixer, float* block, int32_t frames);

    // Sets slot `index`'s target volume (any thread); out-of-range does nothing.
    void set_target_volume(uint32_t index, float volume);

    MusicStream* owner;
    LoopSlot slots[kLoopSlotCount];
    uint32_t count;
};
