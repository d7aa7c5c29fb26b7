#pragma once
// Sample-rate conversion of float stereo frames with a windowed-sinc filter,
// so tracks recorded at any rate play at their true speed at 44100 Hz.
#include <cstdint>

// Supplies up to `frames` float stereo frames; returns how many (0 or less at
// the end of the input).
typedef int32_t (*ResamplerSource)(void* context, float* stereo, int32_t frames);

class Resampler {
public:
    Resampler();
    ~Resampler();

    // Prepares conversion from inputRate to outputRate (both 1000..768000 Hz).
    // Allocates the filter and the input buffer; false when refused.
    bool configure(uint32_t inputRate, uint32_t outputRate);
    void release();
    bool configured() const { return table != nullptr; }

    // Writes up to `frames` converted frames; fewer only once the input has
    // ended and everything has been played out.
    int32_t produce(float* out, int32_t frames, ResamplerSource source, void* context);

    static const int32_t kHalfTaps = 32;     // filter half length in input frames
    static const int32_t kPhases = 256;      // filter phases per input frame

private:
    bool fill(ResamplerSource source, void* context);

    float* table;        // (kPhases + 1) rows of 2 * kHalfTaps coefficients
    float* input;        // stereo input frames
    int32_t capacity;    // frames the input buffer holds
    int32_t length;      // frames in the input buffer
    int32_t index;       // input frame at or before the next output instant
    uint32_t fraction;   // the instant's offset past index, in 1/outputRate frames
    uint32_t inRate;
    uint32_t outRate;
    int32_t endIndex;    // one past the last real input frame once the input ended; -1 before
};
