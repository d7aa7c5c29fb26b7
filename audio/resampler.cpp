// Band-limited interpolation: every output instant is a Kaiser-windowed sinc
// filter over the 64 nearest input frames, its coefficients looked up in a
// table of 256 phases and interpolated linearly between neighbouring phases.
// The output instant advances in exact integer steps of inRate / outRate, so
// long tracks never drift.
#include "audio/resampler.h"

#include <cmath>
#include <cstring>

#include "lib/heap.h"

namespace {

const int32_t kTaps = 2 * Resampler::kHalfTaps;
const int32_t kBufferFrames = 8192;
const double kPi = 3.14159265358979323846;
const double kKaiserBeta = 9.0;
// Passband edge as a share of the lower Nyquist frequency: what lies above is
// the transition band of the 64-tap filter.
const double kCutoff = 0.9;

double bessel_i0(double x) {
    double sum = 1.0, term = 1.0, quarter = x * x / 4.0;
    for (int k = 1; k < 64; ++k) {
        term *= quarter / (double(k) * double(k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

} // namespace

Resampler::Resampler()
    : table(nullptr), input(nullptr), capacity(0), length(0), index(0), fraction(0), inRate(0),
      outRate(0), endIndex(-1) {}

Resampler::~Resampler() { release(); }

void Resampler::release() {
    heapFree(table);
    heapFree(input);
    table = nullptr;
    input = nullptr;
    capacity = length = index = 0;
    fraction = 0;
    endIndex = -1;
}

bool Resampler::configure(uint32_t inputRate, uint32_t outputRate) {
    release();
    if (inputRate < 1000 || inputRate > 768000 || outputRate < 1000 || outputRate > 768000)
        return false;
    table = static_cast<float*>(heapAlloc(sizeof(float) * (kPhases + 1) * kTaps));
    input = static_cast<float*>(heapAlloc(sizeof(float) * 2 * kBufferFrames));
    if (!table || !input) {
        release();
        return false;
    }
    inRate = inputRate;
    outRate = outputRate;
    capacity = kBufferFrames;

    // Cut-off in cycles per input frame: below both Nyquist frequencies.
    double ratio = outputRate < inputRate ? double(outputRate) / double(inputRate) : 1.0;
    double cutoff = 0.5 * kCutoff * ratio;
    double window_norm = bessel_i0(kKaiserBeta);
    for (int32_t p = 0; p <= kPhases; ++p) {
        double phase = double(p) / kPhases;
        double sum = 0.0;
        double row[kTaps];
        for (int32_t j = 0; j < kTaps; ++j) {
            // Tap j reads input frame index - kHalfTaps + 1 + j; its distance
            // from the output instant index + phase:
            double x = phase + kHalfTaps - 1 - j;
            double r = x / kHalfTaps;
            double window = r * r < 1.0 ? bessel_i0(kKaiserBeta * std::sqrt(1.0 - r * r)) / window_norm : 0.0;
            double arg = 2.0 * cutoff * x;
            double sinc = arg == 0.0 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
            row[j] = 2.0 * cutoff * sinc * window;
            sum += row[j];
        }
        // Unity gain at every phase, so a constant input stays constant.
        for (int32_t j = 0; j < kTaps; ++j) table[p * kTaps + j] = float(row[j] / sum);
    }

    // Silent history before the first frame, so the filter starts centred on it.
    std::memset(input, 0, sizeof(float) * 2 * kHalfTaps);
    length = kHalfTaps;
    index = kHalfTaps;
    fraction = 0;
    endIndex = -1;
    return true;
}

bool Resampler::fill(ResamplerSource source, void* context) {
    // Drop what no later output can reach.
    int32_t shift = index - (kHalfTaps - 1);
    if (shift > length) shift = length;
    if (shift > 0) {
        std::memmove(input, input + 2 * shift, sizeof(float) * 2 * (length - shift));
        length -= shift;
        index -= shift;
        if (endIndex >= 0) endIndex -= shift;
    }
    if (endIndex >= 0) return false;
    int32_t room = capacity - kHalfTaps - length;
    if (room <= 0) return false;
    int32_t got = source ? source(context, input + 2 * length, room) : 0;
    if (got > room) got = room;
    if (got > 0) {
        length += got;
        return true;
    }
    // End of the input: play out the filter's tail over silence.
    endIndex = length;
    std::memset(input + 2 * length, 0, sizeof(float) * 2 * kHalfTaps);
    length += kHalfTaps;
    return true;
}

int32_t Resampler::produce(float* out, int32_t frames, ResamplerSource source, void* context) {
    if (!table) return 0;
    int32_t produced = 0;
    while (produced < frames) {
        if (endIndex >= 0 && index >= endIndex) break;
        if (length < index + kHalfTaps + 1) {
            if (!fill(source, context)) break;
            continue;
        }
        double position = double(fraction) * kPhases / double(outRate);
        int32_t row = int32_t(position);
        if (row >= kPhases) row = kPhases - 1;
        float mix = float(position - row);
        const float* a = table + row * kTaps;
        const float* b = a + kTaps;
        const float* x = input + 2 * (index - kHalfTaps + 1);
        float left_a = 0.0f, right_a = 0.0f, left_b = 0.0f, right_b = 0.0f;
        for (int32_t j = 0; j < kTaps; ++j) {
            left_a += a[j] * x[2 * j];
            right_a += a[j] * x[2 * j + 1];
            left_b += b[j] * x[2 * j];
            right_b += b[j] * x[2 * j + 1];
        }
        out[2 * produced] = left_a + (left_b - left_a) * mix;
        out[2 * produced + 1] = right_a + (right_b - right_a) * mix;
        ++produced;
        uint64_t next = uint64_t(fraction) + inRate;
        index += int32_t(next / outRate);
        fraction = uint32_t(next % outRate);
    }
    return produced;
}
