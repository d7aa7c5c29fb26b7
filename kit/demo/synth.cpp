#include "kit/demo/synth.h"

#include <algorithm>
#include <cmath>

#include "kit/demo/noise.h"

namespace {
const double two_pi = 6.283185307179586;
const int table_size = 4096;
}  // namespace

double midi_to_hz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

Wavetable::Wavetable(int harmonics) : table_(table_size + 1) {
    for (int i = 0; i <= table_size; ++i) {
        double phase = double(i) / table_size;
        double sum = 0;
        for (int k = 1; k <= harmonics; ++k) sum += std::sin(two_pi * k * phase) / (k * k * 0.5 + k * 0.5);
        table_[i] = float(sum * 0.6);
    }
}

float Wavetable::at(double phase) const {
    double p = (phase - std::floor(phase)) * table_size;
    int i = int(p);
    float f = float(p - i);
    return table_[i] + (table_[i + 1] - table_[i]) * f;
}

void OnePole::set_cutoff(double hz, int rate) { coefficient = float(1.0 - std::exp(-two_pi * hz / rate)); }

void add_pluck(StereoBuffer& out, double start_seconds, double frequency, double seconds, double gain, double pan,
               uint32_t seed) {
    const int rate = out.rate;
    const size_t start = size_t(start_seconds * rate);
    const size_t length = size_t(seconds * rate);
    // The loop's delay is the line, half a sample for the averaging filter,
    // and a fraction from an all-pass filter that tunes the string exactly.
    const double delay = rate / frequency;
    int period = int(delay - 0.6);
    if (period < 2) return;
    const double fraction = delay - 0.5 - period;  // 0.1 .. 1.1
    const float tuning = float((1 - fraction) / (1 + fraction));
    std::vector<float> line(period);
    // A soft excitation: filtered noise, so the attack is round, not harsh.
    float smooth = 0;
    for (int i = 0; i < period; ++i) {
        float noise = float(hash01(i, 0, seed) * 2 - 1);
        smooth += 0.5f * (noise - smooth);
        line[i] = smooth;
    }
    const float left = float(gain * std::cos((pan + 1) * 0.25 * 3.141592653589793));
    const float right = float(gain * std::sin((pan + 1) * 0.25 * 3.141592653589793));
    int index = 0;
    float previous = 0, pass_in = 0, pass_out = 0;
    for (size_t n = 0; n < length && start + n < out.frames(); ++n) {
        float current = line[index];
        // Averaging two samples darkens the string; 0.997 sets its decay.
        float damped = 0.997f * 0.5f * (current + previous);
        previous = current;
        float tuned = tuning * damped + pass_in - tuning * pass_out;
        pass_in = damped;
        pass_out = tuned;
        line[index] = tuned;
        index = index + 1 == period ? 0 : index + 1;
        float fade = n + 2000 > length ? float(length - n) / 2000.0f : 1.0f;
        out.samples[(start + n) * 2] += current * left * fade;
        out.samples[(start + n) * 2 + 1] += current * right * fade;
    }
}

namespace {

struct Comb {
    std::vector<float> line;
    size_t index = 0;
    float feedback = 0, damp = 0.3f, store = 0;
    float process(float in) {
        float out = line[index];
        store = out * (1 - damp) + store * damp;
        line[index] = in + store * feedback;
        if (++index == line.size()) index = 0;
        return out;
    }
};

struct AllPass {
    std::vector<float> line;
    size_t index = 0;
    float process(float in) {
        float delayed = line[index];
        float out = delayed - in;
        line[index] = in + delayed * 0.5f;
        if (++index == line.size()) index = 0;
        return out;
    }
};

}  // namespace

void apply_reverb(StereoBuffer& audio, double wet, double decay) {
    static const int comb_lengths[] = {1116, 1188, 1277, 1356, 1422, 1491};
    static const int allpass_lengths[] = {556, 441, 341};
    for (int channel = 0; channel < 2; ++channel) {
        const int spread = channel * 23;  // different lengths decorrelate the sides
        std::vector<Comb> combs(6);
        for (int i = 0; i < 6; ++i) {
            combs[i].line.assign(comb_lengths[i] + spread, 0.0f);
            combs[i].feedback = float(decay);
        }
        std::vector<AllPass> passes(3);
        for (int i = 0; i < 3; ++i) passes[i].line.assign(allpass_lengths[i] + spread, 0.0f);
        for (size_t n = 0; n < audio.frames(); ++n) {
            float dry = audio.samples[n * 2 + channel];
            float in = dry * 0.12f;
            float sum = 0;
            for (Comb& comb : combs) sum += comb.process(in);
            for (AllPass& pass : passes) sum = pass.process(sum);
            audio.samples[n * 2 + channel] = dry + float(wet) * sum;
        }
    }
}

void normalise(StereoBuffer& audio, float peak) {
    float largest = 0;
    for (float s : audio.samples) largest = std::max(largest, std::fabs(s));
    if (largest <= 0) return;
    const float gain = peak / largest;
    for (float& s : audio.samples) s *= gain;
}

void apply_echo(StereoBuffer& audio, double delay_seconds, double feedback, double wet) {
    const size_t delay = size_t(delay_seconds * audio.rate);
    std::vector<float> left(delay, 0.0f), right(delay, 0.0f);
    OnePole tone_left, tone_right;
    tone_left.set_cutoff(2500, audio.rate);
    tone_right.set_cutoff(2500, audio.rate);
    size_t index = 0;
    for (size_t n = 0; n < audio.frames(); ++n) {
        float in_left = audio.samples[n * 2], in_right = audio.samples[n * 2 + 1];
        float out_left = left[index], out_right = right[index];
        // Ping-pong: each side feeds the other.
        left[index] = tone_left.process(in_left + out_right * float(feedback));
        right[index] = tone_right.process(in_right + out_left * float(feedback));
        if (++index == delay) index = 0;
        audio.samples[n * 2] = in_left + out_left * float(wet);
        audio.samples[n * 2 + 1] = in_right + out_right * float(wet);
    }
}
