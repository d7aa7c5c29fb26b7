#pragma once
// Files for the audio tests: WAVE and Ogg Vorbis makers.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "kit/demo/audio_buffer.h"
#include "tests/support/scratch_directory.h"

typedef std::vector<uint8_t> Bytes;

// Little-endian, `size` bytes.
inline void put(Bytes& out, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A RIFF WAVE file field by field, so each field can be made wrong; by
// default 16-bit stereo PCM at 44100 Hz.
struct Wav {
    explicit Wav(std::vector<int16_t> interleaved = {}) : samples(std::move(interleaved)) {}
    std::vector<int16_t> samples;
    uint16_t tag = 1, channels = 2, bits = 16, block_align = 4;
    uint32_t rate = 44100;
    uint32_t format_bytes = 16;  // past 16: `extension`, then zeros
    Bytes extension;
    Bytes before_data;           // chunks between the format and the data chunk
    int64_t data_bytes = -1;     // the data chunk's size field; -1: the samples' size
    const char* riff = "RIFF";

    Bytes bytes() const {
        Bytes format;
        for (uint32_t value : {uint32_t(tag), uint32_t(channels)}) put(format, value, 2);
        put(format, rate, 4);
        put(format, rate * block_align, 4);
        put(format, block_align, 2);
        put(format, bits, 2);
        format.insert(format.end(), extension.begin(), extension.end());
        format.resize(format_bytes, 0);
        const uint32_t sample_bytes = uint32_t(samples.size() * 2);
        Bytes out(riff, riff + 4);
        put(out, uint32_t(4 + 8 + format.size() + before_data.size() + 8 + sample_bytes), 4);
        out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put(out, format_bytes, 4);
        out.insert(out.end(), format.begin(), format.end());
        out.insert(out.end(), before_data.begin(), before_data.end());
        out.insert(out.end(), {'d', 'a', 't', 'a'});
        put(out, data_bytes < 0 ? sample_bytes : uint32_t(data_bytes), 4);
        for (int16_t value : samples) put(out, uint16_t(value), 2);
        return out;
    }
};

// An Ogg Vorbis stream made with libvorbisenc; sample(channel, frame) in -1..1.
inline Bytes make_vorbis(int channels, int rate, int frames, const std::function<float(int, int)>& sample,
                         float quality = 0.6f) {
    return encode_ogg_vorbis(channels, rate, size_t(frames),
                             [&sample](int channel, size_t frame) { return sample(channel, int(frame)); },
                             quality, nullptr);
}
