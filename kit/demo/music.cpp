#include "kit/demo/music.h"

#include <algorithm>
#include <cmath>

#include "kit/demo/noise.h"
#include "kit/demo/synth.h"

namespace {

const double first_bar = 2.5;
const double bar_seconds = 3.0;
const double beat = bar_seconds / 4;
const double tail_seconds = 5.0;

// Chords as MIDI notes, root first (root an octave low for the bass).
struct Chord {
    int root;
    int notes[4];
};
const Chord progression[] = {
    {38, {62, 66, 69, 73}},  // Dmaj7
    {35, {59, 62, 66, 69}},  // Bm7
    {43, {59, 62, 66, 67}},  // Gmaj7 (B D F# G)
    {45, {61, 64, 69, 71}},  // A add9
    {40, {62, 64, 67, 71}},  // Em7
    {42, {61, 64, 66, 69}},  // F#m7
    {43, {62, 66, 67, 71}},  // G6/9-ish
    {45, {61, 64, 67, 69}},  // A7
};
const int progression_length = sizeof(progression) / sizeof(progression[0]);

const Chord& chord_of_bar(int bar) { return progression[bar % progression_length]; }

void add_pads(StereoBuffer& out, int bars) {
    const Wavetable saw(7);
    const int rate = out.rate;
    OnePole filter_left, filter_right;
    const double detune[3] = {-0.07, 0.0, 0.06};
    // The intro swells on the first chord; every bar then cross-fades.
    for (int bar = -1; bar <= bars; ++bar) {
        const Chord& chord = chord_of_bar(bar < 0 ? 0 : bar);
        double start = bar < 0 ? 0.0 : first_bar + bar * bar_seconds - 0.4;
        double length = bar < 0 ? first_bar + 0.6 : bar_seconds + 1.2;
        if (bar == bars) length = tail_seconds;
        size_t begin = size_t(start * rate);
        size_t count = size_t(length * rate);
        double attack = bar < 0 ? first_bar : 0.6;
        for (int voice = 0; voice < 4; ++voice) {
            double freq = midi_to_hz(chord.notes[voice]);
            for (int d = 0; d < 3; ++d) {
                double f = freq * std::pow(2.0, detune[d] / 12.0);
                double phase = hash01(bar, voice * 3 + d, 7);
                float pan_left = float(0.5 + 0.35 * (d - 1)), pan_right = 1 - pan_left;
                for (size_t n = 0; n < count && begin + n < out.frames(); ++n) {
                    double t = double(n) / rate;
                    double env = std::min(1.0, t / attack) * std::min(1.0, (length - t) / 1.0);
                    env = env * env * (3 - 2 * env);
                    float s = saw.at(phase + f * t) * float(env * 0.045);
                    out.samples[(begin + n) * 2] += s * pan_left;
                    out.samples[(begin + n) * 2 + 1] += s * pan_right;
                }
            }
        }
    }
    // A slowly breathing low-pass keeps the pads warm.
    for (size_t n = 0; n < out.frames(); ++n) {
        double t = double(n) / rate;
        double cutoff = 900 + 500 * std::sin(t * 0.35);
        if ((n & 63) == 0) {
            filter_left.set_cutoff(cutoff, rate);
            filter_right.coefficient = filter_left.coefficient;
        }
        out.samples[n * 2] = filter_left.process(out.samples[n * 2]);
        out.samples[n * 2 + 1] = filter_right.process(out.samples[n * 2 + 1]);
    }
}

void add_bass(StereoBuffer& out, int bars) {
    const int rate = out.rate;
    for (int bar = 0; bar <= bars; ++bar) {
        const Chord& chord = chord_of_bar(bar);
        for (int half = 0; half < 2; ++half) {
            if (bar == bars && half == 1) break;
            double start = first_bar + bar * bar_seconds + half * 2 * beat;
            double freq = midi_to_hz(chord.root + (half == 1 && bar % 2 ? 7 : 0));
            double length = bar == bars ? tail_seconds : 2 * beat + 0.2;
            size_t begin = size_t(start * rate), count = size_t(length * rate);
            for (size_t n = 0; n < count && begin + n < out.frames(); ++n) {
                double t = double(n) / rate;
                double env = std::min(1.0, t / 0.03) * std::exp(-t * 1.1) * std::min(1.0, (length - t) / 0.15);
                double s = std::sin(6.283185307179586 * freq * t) + 0.25 * std::sin(2 * 6.283185307179586 * freq * t);
                float v = float(s * env * 0.16);
                out.samples[(begin + n) * 2] += v;
                out.samples[(begin + n) * 2 + 1] += v;
            }
        }
    }
}

// A plucked melody in eighth notes over the chords, drawn from the chord
// tones and the D major pentatonic scale; it rests now and then.
void add_melody(StereoBuffer& out, int bars) {
    static const int pentatonic[] = {62, 64, 66, 69, 71, 74, 76, 78, 81, 83};
    const int steps = sizeof(pentatonic) / sizeof(pentatonic[0]);
    int position = 5;
    for (int bar = 1; bar < bars; ++bar) {
        const Chord& chord = chord_of_bar(bar);
        for (int eighth = 0; eighth < 8; ++eighth) {
            double r = hash01(bar, eighth, 31);
            bool strong = eighth % 2 == 0;
            if (r < (strong ? 0.15 : 0.45)) continue;  // rest
            // A small step up or down, biased back towards the middle.
            int move = int(hash01(bar, eighth, 32) * 5) - 2;
            if (position > 7) move -= 1;
            if (position < 3) move += 1;
            position = std::max(0, std::min(steps - 1, position + move));
            int note = pentatonic[position];
            if (strong && eighth % 4 == 0) note = chord.notes[int(hash01(bar, eighth, 33) * 4)] + 12;
            double start = first_bar + bar * bar_seconds + eighth * beat / 2;
            double pan = hash01(bar, eighth, 34) * 1.2 - 0.6;
            add_pluck(out, start, midi_to_hz(note), 2.2, strong ? 0.30 : 0.22, pan, uint32_t(bar * 8 + eighth));
        }
    }
}

// A soft bell at each picture change: two sine partials, one inharmonic.
void add_bells(StereoBuffer& out, int pictures) {
    const int rate = out.rate;
    for (int k = 0; k < pictures; ++k) {
        double start = first_bar + k * 2 * bar_seconds;
        double freq = midi_to_hz(chord_of_bar(2 * k).notes[0] + 24);
        size_t begin = size_t(start * rate), count = size_t(4.0 * rate);
        for (size_t n = 0; n < count && begin + n < out.frames(); ++n) {
            double t = double(n) / rate;
            double env = std::min(1.0, t / 0.004) * std::exp(-t * 1.4);
            double s = std::sin(6.283185307179586 * freq * t) + 0.4 * std::sin(6.283185307179586 * freq * 2.76 * t) * std::exp(-t * 3);
            float v = float(s * env * 0.06);
            out.samples[(begin + n) * 2] += v * 0.8f;
            out.samples[(begin + n) * 2 + 1] += v;
        }
    }
}

}  // namespace

double demo_music_seconds(int pictures) { return first_bar + pictures * 2 * bar_seconds + tail_seconds; }

StereoBuffer compose_demo_music(int pictures) {
    const int bars = pictures * 2;
    StereoBuffer music;
    music.resize_frames(size_t(demo_music_seconds(pictures) * music.rate));
    add_pads(music, bars);
    StereoBuffer plucks;
    plucks.resize_frames(music.frames());
    add_melody(plucks, bars);
    apply_echo(plucks, beat * 0.75, 0.38, 0.45);
    for (size_t i = 0; i < music.samples.size(); ++i) music.samples[i] += plucks.samples[i];
    add_bass(music, bars);
    add_bells(music, pictures);
    apply_reverb(music, 0.9, 0.84);
    // Fade in over the first second and out over the tail.
    const double total = demo_music_seconds(pictures);
    for (size_t n = 0; n < music.frames(); ++n) {
        double t = double(n) / music.rate;
        float g = float(std::min(1.0, t / 1.0) * std::min(1.0, (total - t) / (tail_seconds - 0.5)));
        music.samples[n * 2] *= g;
        music.samples[n * 2 + 1] *= g;
    }
    normalise(music, 0.8f);
    return music;
}
