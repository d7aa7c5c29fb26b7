#include <cmath>

#include "kit/demo/audio_buffer.h"

namespace {
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put_tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
}  // namespace

std::vector<uint8_t> encode_wav16(const StereoBuffer& audio) {
    const uint32_t data_bytes = uint32_t(audio.samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + data_bytes);
    put_tag(out, "RIFF");
    put_u32(out, 36 + data_bytes);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put_u32(out, 16);
    put_u16(out, 1);  // PCM
    put_u16(out, 2);
    put_u32(out, uint32_t(audio.rate));
    put_u32(out, uint32_t(audio.rate) * 4);
    put_u16(out, 4);
    put_u16(out, 16);
    put_tag(out, "data");
    put_u32(out, data_bytes);
    for (float s : audio.samples) {
        long v = std::lround(double(s) * 32767.0);
        if (v > 32767) v = 32767;
        if (v < -32768) v = -32768;
        put_u16(out, uint16_t(int16_t(v)));
    }
    return out;
}
