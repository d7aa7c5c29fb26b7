// The two loops of the show. Seamless looping: every periodic component has
// a whole number of cycles per loop, filtered noise is run round the loop
// twice so the filter state at the end meets the start, and the typing
// clicks die away before the loop ends.
#include <cmath>

#include "kit/demo/music.h"
#include "kit/demo/noise.h"
#include "kit/demo/synth.h"

namespace {

const double two_pi = 6.283185307179586;

// Low-passed noise, periodic over frames (the filter runs over two laps).
std::vector<float> periodic_noise(size_t frames, double cutoff, int rate, uint32_t seed) {
    std::vector<float> out(frames);
    OnePole first, second;
    first.set_cutoff(cutoff, rate);
    second.coefficient = first.coefficient;
    for (int lap = 0; lap < 2; ++lap)
        for (size_t n = 0; n < frames; ++n) {
            float white = float(hash01(int32_t(n), 0, seed) * 2 - 1);
            out[n] = second.process(first.process(white));
        }
    return out;
}

}  // namespace

StereoBuffer make_idle_loop() {
    StereoBuffer loop;
    const double seconds = 4.0;
    const size_t frames = size_t(seconds * loop.rate);
    loop.resize_frames(frames);
    std::vector<float> wind_left = periodic_noise(frames, 500, loop.rate, 61);
    std::vector<float> wind_right = periodic_noise(frames, 500, loop.rate, 62);
    for (size_t n = 0; n < frames; ++n) {
        double t = double(n) / loop.rate;
        double phase = t / seconds;  // 0..1 over the loop
        // Gusts: amplitude swells with whole cycles per loop.
        double gust = 0.6 + 0.25 * std::sin(two_pi * phase) + 0.15 * std::sin(two_pi * 3 * phase + 1);
        // A faint drone near D and A; both make whole cycles over the loop.
        double drone = 0.05 * std::sin(two_pi * 147.0 * t) + 0.035 * std::sin(two_pi * 220.0 * t + 0.5);
        drone *= 0.7 + 0.3 * std::sin(two_pi * 2 * phase);
        loop.samples[n * 2] = float(wind_left[n] * 3.0 * gust + drone);
        loop.samples[n * 2 + 1] = float(wind_right[n] * 3.0 * gust + drone);
    }
    normalise(loop, 0.6f);
    return loop;
}

StereoBuffer make_active_loop() {
    StereoBuffer loop;
    const double seconds = 2.0;
    const size_t frames = size_t(seconds * loop.rate);
    loop.resize_frames(frames);
    // Keys at irregular intervals of about 110 ms, each a short filtered tick
    // with a soft body; none is closer than 60 ms to the loop's end.
    double t = 0.02;
    int key = 0;
    while (t < seconds - 0.06) {
        size_t begin = size_t(t * loop.rate);
        size_t length = size_t(0.045 * loop.rate);
        double pitch = 1800 + 900 * hash01(key, 0, 71);
        double body = 180 + 60 * hash01(key, 1, 71);
        double level = 0.35 + 0.3 * hash01(key, 2, 71);
        double pan = hash01(key, 3, 71) * 0.6 - 0.3;
        OnePole tone;
        tone.set_cutoff(pitch, loop.rate);
        for (size_t n = 0; n < length && begin + n < frames; ++n) {
            double s = double(n) / loop.rate;
            double tick = tone.process(float(hash01(int32_t(n), key, 72) * 2 - 1)) * std::exp(-s * 350);
            double thock = std::sin(two_pi * body * s) * std::exp(-s * 90) * 0.5;
            double v = (tick * 2.2 + thock) * level;
            loop.samples[(begin + n) * 2] += float(v * (1 - pan));
            loop.samples[(begin + n) * 2 + 1] += float(v * (1 + pan));
        }
        t += 0.075 + 0.08 * hash01(key, 4, 71);
        ++key;
    }
    normalise(loop, 0.7f);
    return loop;
}
