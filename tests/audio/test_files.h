#pragma once
// Files for the audio tests: WAVE and Ogg Vorbis makers, whole-file I/O.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/scratch_directory.h"

typedef std::vector<uint8_t> Bytes;

// Writes `bytes` to `name` (relative), creating directories on the way.
void write_file(const std::string& name, const Bytes& bytes);
Bytes read_file(const std::string& name);

void put_u16(Bytes& out, uint32_t value);
void put_u32(Bytes& out, uint32_t value);
void put_tag(Bytes& out, const char* tag);

// A RIFF WAVE file field by field, so each field can be made wrong.
struct Wav {
    std::vector<int16_t> samples;
    uint16_t tag = 1, channels = 2, bits = 16, block_align = 4;
    uint32_t rate = 44100;
    uint32_t format_bytes = 16;  // past 16: `extension`, then zeros
    Bytes extension;
    Bytes bytes() const;
};
// 16-bit stereo PCM at 44100 Hz.
Bytes make_wav(const std::vector<int16_t>& interleaved);

// An Ogg Vorbis stream made with libvorbisenc; sample(channel, frame) in -1..1.
Bytes make_vorbis(int channels, int rate, int frames,
                  const std::function<float(int channel, int frame)>& sample, float quality = 0.6f);
