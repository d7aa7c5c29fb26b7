#pragma once
// Songs and sounds in any common format (MP3, Ogg Vorbis, Opus, FLAC, WAV,
// M4A/AAC, ...), decoded with FFmpeg's libavformat and libavcodec and
// converted by libswresample to 16-bit stereo at 44100 Hz, the show's format.
#include <cstdint>
#include <string>
#include <vector>

constexpr int kShowAudioRate = 44100;

struct DecodedAudio {
    std::vector<int16_t> samples;  // interleaved stereo, at most `keptFrames` frames
    uint64_t frames = 0;           // the whole length in frames, also past what was kept
    std::string codec;             // the decoder's name, e.g. "mp3"
    int sourceRate = 0;
    int sourceChannels = 0;

    double seconds() const { return double(frames) / kShowAudioRate; }
    size_t keptFrames() const { return samples.size() / 2; }
};

// Decodes the first audio stream of the file, keeping at most `keepFrames`
// frames of samples (the rest is decoded only to measure the length).
// Throws std::runtime_error("PATH: reason") when the file can't be opened,
// has no audio, or does not decode.
DecodedAudio decodeAudioFile(const std::string& path, uint64_t keepFrames = UINT64_MAX);

// The show's music track: the song cut at `showFrames` frames with a fade
// over the last `fadeFrames` of them when it is longer, as it is when it is
// shorter; Ogg Vorbis (libvorbisenc, quality -0.1 .. 1). Empty with a message
// in `error` on failure.
std::vector<uint8_t> encodeShowMusic(const DecodedAudio& song, uint64_t showFrames, uint64_t fadeFrames,
                                     float quality, std::string* error);

// A loop sound as the mixer plays it: RIFF WAVE, 16-bit stereo at 44100 Hz.
std::vector<uint8_t> encodeLoopWav(const DecodedAudio& sound);
