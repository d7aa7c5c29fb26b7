#pragma once
// Interleaved float stereo audio (left, right), nominally in [-1, 1], and the
// two file forms the show plays: RIFF WAVE 16-bit PCM and Ogg Vorbis.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct StereoBuffer {
    int rate = 44100;
    std::vector<float> samples;  // 2 per frame

    size_t frames() const { return samples.size() / 2; }
    void resize_frames(size_t frames) { samples.assign(frames * 2, 0.0f); }
};

// A canonical 44-byte-header RIFF WAVE file, 16-bit stereo PCM.
std::vector<uint8_t> encode_wav16(const StereoBuffer& audio);

// An Ogg Vorbis stream (libvorbisenc, variable bit rate at the given quality,
// -0.1 to 1). Empty with a message in error on failure.
std::vector<uint8_t> encode_ogg_vorbis(const StereoBuffer& audio, float quality, std::string* error);

// The same for any channel count and rate: sample(channel, frame) gives each
// value of the `frames` frames.
std::vector<uint8_t> encode_ogg_vorbis(int channels, int rate, size_t frames,
                                       const std::function<float(int channel, size_t frame)>& sample,
                                       float quality, std::string* error);
