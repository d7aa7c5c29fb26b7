#pragma once
// The music track: an Ogg Vorbis stream decoded on the audio thread into float
// stereo blocks at 44100 Hz, with a mix hook that adds the loops before output.
#include <cstdint>

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include "audio/resampler.h"

class Stream;

// Adds to `frames` interleaved float stereo frames in block; returns frames.
typedef int32_t (*MixHook)(void* context, float* block, int32_t frames);

class MusicStream {
public:
    MusicStream();
    ~MusicStream();

    // Opens the track with openFile and hands it to the decoder. True when the
    // file was found, whether or not it decodes (a stream that does not decode
    // plays silence).
    bool open_music(const char* name);
    // Starts the output (the global player) with render_music, with or
    // without a track (no track plays silence). False when no output, not
    // even the silent one, could be opened.
    bool start_music(void* window = nullptr);
    // The player's render callback; context is the music object. Fills the
    // block with the next frames of music (silence after the end or when not
    // playing), then calls the mix hook.
    static int32_t render_music(void* context, float* block, int32_t frames);

    Stream* source;           // the track; owned by the decoder once opened
    OggVorbis_File decoder;
    uint8_t playing;          // 1 from start_music on
    MixHook mix_hook;         // null for none
    void* mix_context;

private:
    int32_t decode_into(float* block, int32_t frames);
    int32_t decode_native(float* block, int32_t frames);
    static int32_t pull_decoded(void* music, float* stereo, int32_t frames);
    static int32_t pull_resampled(void* music, float* stereo, int32_t frames);

    uint8_t decoder_open;     // ov_open_callbacks accepted the stream
    int32_t decoder_rate;     // sample rate of the first logical stream
    Resampler resampler;      // used when that rate is not 44100 Hz
};
