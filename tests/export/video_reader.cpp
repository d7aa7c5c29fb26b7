#include "tests/export/video_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <stdexcept>

namespace {

void check(int code, const char* what) {
    if (code >= 0) return;
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    throw std::runtime_error(std::string(what) + ": " + text);
}

AVCodecContext* open_decoder(AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) throw std::runtime_error("no decoder");
    AVCodecContext* context = avcodec_alloc_context3(codec);
    check(avcodec_parameters_to_context(context, stream->codecpar), "decoder parameters");
    check(avcodec_open2(context, codec, nullptr), "decoder");
    return context;
}

}  // namespace

RgbImage yuv_to_rgb(const AVFrame* frame) {
    SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                     frame->height, AV_PIX_FMT_RGB24,
                                     SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    const int* table = sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(sws, table, frame->color_range == AVCOL_RANGE_JPEG, table, 1, 0, 1 << 16, 1 << 16);
    RgbImage image(frame->width, frame->height);
    uint8_t* out[1] = {image.rgb.data()};
    const int stride[1] = {frame->width * 3};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, out, stride);
    sws_freeContext(sws);
    return image;
}

ReadVideo read_video(const std::string& path, const std::set<int64_t>& keep_frames) {
    ReadVideo result;
    AVFormatContext* format = nullptr;
    check(avformat_open_input(&format, path.c_str(), nullptr, nullptr), "open");
    check(avformat_find_stream_info(format, nullptr), "stream info");
    result.container = format->iformat->name;
    result.duration = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0;
    const int video_index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int sound_index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video_index < 0 || sound_index < 0) throw std::runtime_error("a stream is missing");
    AVStream* video_stream = format->streams[video_index];
    AVStream* sound_stream = format->streams[sound_index];
    result.video_codec = avcodec_get_name(video_stream->codecpar->codec_id);
    result.sound_codec = avcodec_get_name(sound_stream->codecpar->codec_id);
    result.width = video_stream->codecpar->width;
    result.height = video_stream->codecpar->height;
    result.frame_rate = av_q2d(video_stream->avg_frame_rate);
    result.sound_rate = sound_stream->codecpar->sample_rate;

    AVCodecContext* video = open_decoder(video_stream);
    AVCodecContext* sound = open_decoder(sound_stream);
    SwrContext* swr = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    check(swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, result.sound_rate, &sound->ch_layout,
                              sound->sample_fmt, sound->sample_rate, 0, nullptr),
          "resampler");
    check(swr_init(swr), "resampler");
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool first_video = true, first_sound = true;
    auto drain = [&](AVCodecContext* codec, AVStream* stream) {
        while (avcodec_receive_frame(codec, frame) == 0) {
            const int64_t pts = frame->best_effort_timestamp;
            bool& first = codec == video ? first_video : first_sound;
            if (first && pts != AV_NOPTS_VALUE)
                (codec == video ? result.video_start : result.sound_start) = pts * av_q2d(stream->time_base);
            first = false;
            if (codec == video) {
                if (keep_frames.count(result.frames)) result.kept.push_back(yuv_to_rgb(frame));
                ++result.frames;
            } else {
                std::vector<float> block(size_t(frame->nb_samples) * 2 + 64);
                uint8_t* out[1] = {reinterpret_cast<uint8_t*>(block.data())};
                const int made = swr_convert(swr, out, frame->nb_samples + 32,
                                             const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
                check(made, "resampler");
                result.sound.insert(result.sound.end(), block.begin(), block.begin() + made * 2);
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == video_index || packet->stream_index == sound_index) {
            const bool is_video = packet->stream_index == video_index;
            check(avcodec_send_packet(is_video ? video : sound, packet), is_video ? "video decoding" : "sound decoding");
            drain(is_video ? video : sound, is_video ? video_stream : sound_stream);
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(video, nullptr);
    drain(video, video_stream);
    avcodec_send_packet(sound, nullptr);
    drain(sound, sound_stream);
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&swr);
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    avformat_close_input(&format);
    return result;
}
