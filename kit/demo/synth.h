#pragma once
// Small building blocks for the demo music: a band-limited wavetable
// oscillator, a plucked string, a one-pole filter and a plate-like reverb.
#include <cstdint>
#include <vector>

#include "kit/demo/audio_buffer.h"

double midi_to_hz(double note);

// One cycle of a soft sawtooth (the first harmonics only), read with linear
// interpolation.
class Wavetable {
public:
    explicit Wavetable(int harmonics);
    // phase in cycles (any real value).
    float at(double phase) const;

private:
    std::vector<float> table_;
};

struct OnePole {
    float state = 0;
    float coefficient = 0;  // 0..1, larger is brighter
    void set_cutoff(double hz, int rate);
    float process(float in) {
        state += coefficient * (in - state);
        return state;
    }
};

// Adds a Karplus-Strong plucked note of the given length to the buffer.
void add_pluck(StereoBuffer& out, double start_seconds, double frequency, double seconds, double gain, double pan,
               uint32_t seed);

// Schroeder reverb (parallel combs, serial all-passes), mixed in place.
void apply_reverb(StereoBuffer& audio, double wet, double decay);

// Scales the buffer so its largest sample has the given magnitude.
void normalise(StereoBuffer& audio, float peak);

// Ping-pong echo with a darkened feedback path, mixed in place.
void apply_echo(StereoBuffer& audio, double delay_seconds, double feedback, double wet);
