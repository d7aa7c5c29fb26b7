#include "kit/make/song.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <stdexcept>

#include "kit/demo/audio_buffer.h"

namespace {

std::string averror(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct AudioDecoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ~AudioDecoder() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// Appends converted frames, keeping at most `keep` frames in all.
void keepFrames(DecodedAudio& audio, const int16_t* samples, int frames, uint64_t keep) {
    if (frames <= 0) return;
    audio.frames += uint64_t(frames);
    const uint64_t have = audio.keptFrames();
    if (have >= keep) return;
    const uint64_t take = std::min<uint64_t>(uint64_t(frames), keep - have);
    audio.samples.insert(audio.samples.end(), samples, samples + take * 2);
}

}  // namespace

DecodedAudio decodeAudioFile(const std::string& path, uint64_t keep) {
    auto fail = [&](const std::string& reason) -> std::runtime_error { return std::runtime_error(path + ": " + reason); };
    av_log_set_level(AV_LOG_QUIET);
    AudioDecoder decoder;
    if (!decoder.packet || !decoder.frame) throw fail("out of memory");
    int result = avformat_open_input(&decoder.format, path.c_str(), nullptr, nullptr);
    if (result < 0) throw fail("cannot open: " + averror(result));
    result = avformat_find_stream_info(decoder.format, nullptr);
    if (result < 0) throw fail("not a sound file FFmpeg can read: " + averror(result));
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(decoder.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) throw fail("holds no audio that FFmpeg can decode");
    decoder.codec = avcodec_alloc_context3(codec);
    if (!decoder.codec) throw fail("out of memory");
    if (avcodec_parameters_to_context(decoder.codec, decoder.format->streams[stream]->codecpar) < 0)
        throw fail("unusable audio parameters");
    result = avcodec_open2(decoder.codec, codec, nullptr);
    if (result < 0) throw fail("cannot start the " + std::string(codec->name) + " decoder: " + averror(result));

    DecodedAudio audio;
    audio.codec = codec->name;
    audio.sourceRate = decoder.codec->sample_rate;
    audio.sourceChannels = decoder.codec->ch_layout.nb_channels;
    if (audio.sourceRate <= 0 || audio.sourceChannels <= 0) throw fail("audio without a sample rate or channels");

    AVChannelLayout input;
    if (decoder.codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&input, decoder.codec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&input, &decoder.codec->ch_layout);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    result = swr_alloc_set_opts2(&decoder.resampler, &stereo, AV_SAMPLE_FMT_S16, kShowAudioRate, &input,
                                 decoder.codec->sample_fmt, decoder.codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    if (result < 0 || swr_init(decoder.resampler) < 0) throw fail("cannot convert its audio to 44.1 kHz stereo");

    std::vector<int16_t> converted;
    auto convert = [&](const uint8_t** data, int count) {
        const int room = swr_get_out_samples(decoder.resampler, count);
        if (room <= 0) return;
        converted.resize(size_t(room) * 2);
        uint8_t* out = reinterpret_cast<uint8_t*>(converted.data());
        const int made = swr_convert(decoder.resampler, &out, room, data, count);
        if (made < 0) throw fail("audio conversion failed");
        keepFrames(audio, converted.data(), made, keep);
    };
    auto drain = [&]() {
        for (;;) {
            result = avcodec_receive_frame(decoder.codec, decoder.frame);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            if (result < 0) throw fail("the audio does not decode: " + averror(result));
            convert(const_cast<const uint8_t**>(decoder.frame->extended_data), decoder.frame->nb_samples);
            av_frame_unref(decoder.frame);
        }
    };
    int bad_packets = 0, good_packets = 0;
    while ((result = av_read_frame(decoder.format, decoder.packet)) >= 0) {
        if (decoder.packet->stream_index == stream) {
            const int sent = avcodec_send_packet(decoder.codec, decoder.packet);
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                // A damaged packet here and there (as in many MP3s) is skipped.
                ++bad_packets;
            } else {
                ++good_packets;
                drain();
            }
        }
        av_packet_unref(decoder.packet);
    }
    if (result != AVERROR_EOF && good_packets == 0) throw fail("cannot read the audio: " + averror(result));
    avcodec_send_packet(decoder.codec, nullptr);
    drain();
    convert(nullptr, 0);  // what the resampler still holds
    if (audio.frames == 0)
        throw fail(bad_packets ? "the audio does not decode" : "holds no sound (0 seconds)");
    return audio;
}

std::vector<uint8_t> encodeShowMusic(const DecodedAudio& song, uint64_t showFrames, uint64_t fadeFrames,
                                     float quality, std::string* error) {
    const uint64_t frames = std::min<uint64_t>(song.keptFrames(), showFrames);
    const bool fades = song.frames > showFrames;
    const int16_t* samples = song.samples.data();
    const double fadeStart = double(showFrames) - double(fadeFrames);
    const double pi = 3.14159265358979323846;
    return encode_ogg_vorbis(
        2, kShowAudioRate, size_t(frames),
        [&](int channel, size_t frame) {
            float value = samples[frame * 2 + size_t(channel)] * (1.0f / 32768.0f);
            if (fades && double(frame) >= fadeStart && fadeFrames > 0) {
                // A raised-cosine fade to silence at the show's end.
                const double x = (double(frame) - fadeStart) / double(fadeFrames);
                value *= float(0.5 + 0.5 * std::cos(pi * std::min(1.0, x)));
            }
            return value;
        },
        quality, error);
}

std::vector<uint8_t> encodeLoopWav(const DecodedAudio& sound) {
    StereoBuffer buffer;
    buffer.rate = kShowAudioRate;
    buffer.samples.resize(sound.samples.size());
    // encode_wav16 rounds value x 32767; this keeps each sample as it is.
    for (size_t i = 0; i < sound.samples.size(); ++i) buffer.samples[i] = float(sound.samples[i]) / 32767.0f;
    return encode_wav16(buffer);
}
