// Loop sounds from arbitrary bytes: the file is loaded through openFile like
// the player's loops, and a loaded loop is mixed into a block for a while, so
// every frame the loader claims is read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/loop_mixer.h"
#include "audio/wav_loop.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    enterScratchDirectory();
    writeScratchFile("loop.wav", data, size);

    int16_t* samples = reinterpret_cast<int16_t*>(1);
    uint32_t frames = 7;
    bool loaded = load_wav_loop("loop.wav", &samples, &frames);
    if (loaded != (samples != nullptr)) std::abort();
    if (!loaded && frames != 0) std::abort();
    if (loaded) {
        if (frames == 0 || uint64_t(frames) * 4 > size) std::abort();
        volatile int32_t sum = 0;
        for (uint32_t i = 0; i < frames * 2; ++i) sum = sum + samples[i];
        free_loop_samples(samples);
    }

    LoopMixer mixer;
    if (mixer.load_loop("loop.wav") != loaded) std::abort();
    mixer.set_target_volume(0, 1.0f);
    std::vector<float> block(2 * 1024, 0.0f);
    for (int i = 0; i < 8; ++i) LoopMixer::mix_loops(&mixer, block.data(), 1024);
    return 0;
}
