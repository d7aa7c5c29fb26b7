#pragma once
// Files for the audio tests: a scratch working directory and WAV/Ogg makers.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/scratch_directory.h"

typedef std::vector<uint8_t> Bytes;


// Writes `bytes` to `name` (relative), creating directories on the way.
void write_file(const std::string& name, const Bytes& bytes);
Bytes read_file(const std::string& name);

// Little-endian building blocks.
void put_u16(Bytes& out, uint32_t value);
void put_u32(Bytes& out, uint32_t value);
void put_tag(Bytes& out, const char* tag);

// A RIFF WAVE file with a format chunk and a data chunk of 16-bit stereo frames.
Bytes make_wav(const std::vector<int16_t>& interleaved, uint16_t channels = 2, uint32_t rate = 44100,
               uint16_t bits = 16, uint16_t block_align = 4, uint16_t tag = 1);

// An Ogg Vorbis stream made with libvorbisenc; sample(channel, frame) in -1..1.
Bytes make_vorbis(int channels, int rate, int frames,
                  const std::function<float(int channel, int frame)>& sample, float quality = 0.6f);
