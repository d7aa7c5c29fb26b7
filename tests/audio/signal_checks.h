#pragma once
// Measurements on rendered sound: length, pitch and level.
#include <cmath>
#include <cstddef>
#include <vector>

// Interleaved stereo floats; channel 0 or 1.
inline float sample_of(const std::vector<float>& stereo, size_t frame, int channel) {
    return stereo[2 * frame + size_t(channel)];
}

// One past the last frame whose level exceeds `threshold`.
inline size_t audible_length(const std::vector<float>& stereo, int channel, float threshold) {
    for (size_t frame = stereo.size() / 2; frame > 0; --frame)
        if (std::fabs(sample_of(stereo, frame - 1, channel)) > threshold) return frame;
    return 0;
}

// Upward zero crossings in [first, last).
inline int rising_crossings(const std::vector<float>& stereo, int channel, size_t first, size_t last) {
    int count = 0;
    for (size_t frame = first + 1; frame < last; ++frame)
        if (sample_of(stereo, frame - 1, channel) < 0.0f && sample_of(stereo, frame, channel) >= 0.0f)
            ++count;
    return count;
}

inline double rms(const std::vector<float>& stereo, int channel, size_t first, size_t last) {
    double sum = 0.0;
    for (size_t frame = first; frame < last; ++frame) {
        double value = sample_of(stereo, frame, channel);
        sum += value * value;
    }
    return std::sqrt(sum / double(last - first));
}
