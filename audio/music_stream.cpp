// The music track, decoded by vorbisfile over a Stream. Tracks that are not
// 44100 Hz stereo are converted: channels are mixed down to stereo (mono is
// duplicated) and other rates resampled, so every track plays at its speed.
#include "audio/music_stream.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "audio/stream_player.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

const uint32_t kOutputRate = 44100;

size_t source_read(void* destination, size_t size, size_t count, void* source) {
    if (!source || size == 0 || count == 0) return 0;
    size_t bytes = size * count;
    if (count > size_t(INT32_MAX) / size) bytes = size_t(INT32_MAX);
    int32_t got = static_cast<Stream*>(source)->read(destination, int32_t(bytes));
    return got > 0 ? size_t(got) : 0;
}

int source_seek(void* source, ogg_int64_t offset, int origin) {
    Stream* stream = static_cast<Stream*>(source);
    int32_t low = int32_t(uint32_t(uint64_t(offset)));
    switch (origin) {
    case SEEK_SET:
        stream->seek(low);
        return 1;
    case SEEK_CUR:
        stream->seekRelative(low);
        return 1;
    case SEEK_END:
        stream->seekFromEnd(low);
        return 1;
    default:
        return 0;
    }
}

int source_close(void* source) {
    delete static_cast<Stream*>(source);
    return 1;
}

long source_tell(void* source) { return static_cast<Stream*>(source)->tell(); }

// Left and right weights of each channel in Vorbis channel order.
struct Weights {
    float left, right;
};
const float kSide = 0.70710678f;
const Weights kLeft = {1.0f, 0.0f}, kRight = {0.0f, 1.0f}, kCentre = {kSide, kSide},
              kRearLeft = {kSide, 0.0f}, kRearRight = {0.0f, kSide}, kRearCentre = {0.5f, 0.5f},
              kLfe = {0.0f, 0.0f};
const Weights kLayouts[9][8] = {
    {},
    {},
    {},
    {kLeft, kCentre, kRight},
    {kLeft, kRight, kRearLeft, kRearRight},
    {kLeft, kCentre, kRight, kRearLeft, kRearRight},
    {kLeft, kCentre, kRight, kRearLeft, kRearRight, kLfe},
    {kLeft, kCentre, kRight, kRearLeft, kRearRight, kRearCentre, kLfe},
    {kLeft, kCentre, kRight, kRearLeft, kRearRight, kRearLeft, kRearRight, kLfe},
};

// Interleaves n decoded frames of any channel count as stereo.
void map_to_stereo(float** pcm, int channels, long n, float* out) {
    if (channels <= 0) {
        std::memset(out, 0, sizeof(float) * 2 * size_t(n));
    } else if (channels == 1) {
        for (long i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = pcm[0][i];
    } else if (channels == 2 || channels > 8) {
        for (long i = 0; i < n; ++i) {
            out[2 * i] = pcm[0][i];
            out[2 * i + 1] = pcm[1][i];
        }
    } else {
        // Mixed down with the usual weights, scaled so that every channel at
        // full scale at once still stays within full scale.
        const Weights* layout = kLayouts[channels];
        float total = 0.0f;
        for (int c = 0; c < channels; ++c) total += layout[c].left;
        float norm = 1.0f / total;
        for (long i = 0; i < n; ++i) {
            float left = 0.0f, right = 0.0f;
            for (int c = 0; c < channels; ++c) {
                left += layout[c].left * pcm[c][i];
                right += layout[c].right * pcm[c][i];
            }
            out[2 * i] = left * norm;
            out[2 * i + 1] = right * norm;
        }
    }
}

} // namespace

MusicStream::MusicStream()
    : source(nullptr), playing(0), mix_hook(nullptr), mix_context(nullptr), decoder_open(0),
      decoder_rate(0) {
    std::memset(&decoder, 0, sizeof decoder);
}

MusicStream::~MusicStream() {
    if (decoder_open)
        ov_clear(&decoder); // closes the source through source_close
    else
        delete source;
}

bool MusicStream::open_music(const char* name) {
    if (source) return false; // the track is opened once
    source = openFile(name);
    if (!source) {
        // The show still plays, in silence with its loops, on the output's clock.
        std::fprintf(stderr, "music: %s: not found, playing silence\n", name);
        return false;
    }
    ov_callbacks callbacks = {source_read, source_seek, source_close, source_tell};
    if (ov_open_callbacks(source, &decoder, nullptr, 0, callbacks) == 0) {
        decoder_open = 1;
        vorbis_info* info = ov_info(&decoder, -1);
        decoder_rate = info ? int32_t(info->rate) : 0;
        if (decoder_rate != int32_t(kOutputRate) &&
            !resampler.configure(uint32_t(decoder_rate), kOutputRate)) {
            std::fprintf(stderr, "music: %s: unsupported sample rate %d, playing silence\n", name,
                         int(decoder_rate));
            decoder_rate = 0;
        }
    } else {
        // Not Ogg Vorbis: the track plays as silence while the clock runs.
        std::fprintf(stderr, "music: %s: not an Ogg Vorbis stream, playing silence\n", name);
    }
    return true;
}

bool MusicStream::start_music(void* window) {
    // Without a track (or one that does not decode) the output still runs: it
    // plays silence and the loops, and its clock drives the show.
    playing = 1;
    if (!player_open(&MusicStream::render_music, this, window)) {
        playing = 0;
        return false;
    }
    return true;
}

int32_t MusicStream::render_music(void* context, float* block, int32_t frames) {
    MusicStream* music = static_cast<MusicStream*>(context);
    int32_t decoded = music->playing ? music->decode_into(block, frames) : 0;
    if (decoded < frames)
        std::memset(block + 2 * decoded, 0, sizeof(float) * 2 * size_t(frames - decoded));
    if (music->mix_hook) music->mix_hook(music->mix_context, block, frames);
    return frames;
}

int32_t MusicStream::decode_into(float* block, int32_t frames) {
    if (!decoder_open || decoder_rate == 0) return 0;
    if (resampler.configured()) return resampler.produce(block, frames, &pull_resampled, this);
    return decode_native(block, frames);
}

int32_t MusicStream::decode_native(float* block, int32_t frames) {
    int32_t done = 0;
    while (done < frames) {
        int32_t got = pull_decoded(this, block + 2 * done, frames - done);
        if (got <= 0) break; // end of the track or a damaged page: silence
        done += got;
    }
    return done;
}

int32_t MusicStream::pull_decoded(void* context, float* stereo, int32_t frames) {
    MusicStream* music = static_cast<MusicStream*>(context);
    float** pcm = nullptr;
    long got = ov_read_float(&music->decoder, &pcm, frames, nullptr);
    if (got <= 0 || !pcm) return 0;
    if (got > frames) got = frames;
    vorbis_info* info = ov_info(&music->decoder, -1);
    map_to_stereo(pcm, info ? info->channels : 0, got, stereo);
    return int32_t(got);
}

int32_t MusicStream::pull_resampled(void* context, float* stereo, int32_t frames) {
    // A hole in the stream (a lost page) is passed over: here a zero result
    // would end the track for good.
    for (int attempt = 0; attempt < 16; ++attempt) {
        MusicStream* music = static_cast<MusicStream*>(context);
        float** pcm = nullptr;
        long got = ov_read_float(&music->decoder, &pcm, frames, nullptr);
        if (got == OV_HOLE) continue;
        if (got <= 0 || !pcm) return 0;
        if (got > frames) got = frames;
        vorbis_info* info = ov_info(&music->decoder, -1);
        map_to_stereo(pcm, info ? info->channels : 0, got, stereo);
        return int32_t(got);
    }
    return 0;
}
