#include "kit/export/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

#include "kit/export/bgra_to_i420.h"

namespace {

const int kInputRate = 44100;

std::string av_message(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

void check(int code, const std::string& what) {
    if (code < 0) throw std::runtime_error(what + ": " + av_message(code));
}

struct Codecs {
    const char* format;       // libavformat's muxer
    const char* video;        // encoder names
    const char* video_label;  // what a person calls it
    const char* sound;
    const char* sound_label;
    int sound_rate;
    int64_t sound_bit_rate;
};

const Codecs kMp4 = {"mp4", "libx264", "H.264 (libx264)", "aac", "AAC", 44100, 192000};
// Opus runs at 48 kHz: the player's 44.1 kHz stream is resampled for it.
const Codecs kWebm = {"webm", "libvpx-vp9", "VP9 (libvpx-vp9)", "libopus", "Opus (libopus)", 48000, 160000};

const AVCodec* find_encoder(const char* name, const char* label, const char* extension) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        throw std::runtime_error(std::string("the FFmpeg libraries on this machine have no ") + label +
                                 " encoder, which " + extension + " needs");
    return codec;
}

AVSampleFormat pick_sample_format(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) return *f;
    return codec->sample_fmts[0];
}

void set(AVCodecContext* codec, const char* key, const std::string& value) {
    av_opt_set(codec->priv_data, key, value.c_str(), 0);
}

}  // namespace

bool container_for_name(const std::string& name, VideoContainer* container) {
    const size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.') return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp4") {
        *container = VideoContainer::mp4;
        return true;
    }
    if (extension == "webm") {
        *container = VideoContainer::webm;
        return true;
    }
    return false;
}

AVFrame* FrameConverter::convert(const uint8_t* bgra_bottom_up) const {
    AVFrame* frame = av_frame_alloc();
    if (!frame) throw std::runtime_error("out of memory");
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width_;
    frame->height = height_;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        throw std::runtime_error("out of memory");
    }
    // The frame buffer's rows run from the bottom up: read them backwards.
    const int stride = width_ * 4;
    const I420Planes planes = {frame->data[0],     frame->data[1],     frame->data[2],
                               frame->linesize[0], frame->linesize[1], frame->linesize[2]};
    bgra_to_i420(bgra_bottom_up + size_t(height_ - 1) * size_t(stride), -stride, width_, height_, planes);
    return frame;
}

VideoFile::~VideoFile() {
    if (format_ && format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
    avcodec_free_context(&video_);
    avcodec_free_context(&sound_);
    av_packet_free(&packet_);
    swr_free(&resampler_);
    if (fifo_) av_audio_fifo_free(fifo_);
}

void VideoFile::open(const std::string& path, const VideoSettings& settings) {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not for the user
    const Codecs& codecs = settings.container == VideoContainer::mp4 ? kMp4 : kWebm;
    const char* extension = settings.container == VideoContainer::mp4 ? ".mp4" : ".webm";
    const AVCodec* video_codec = find_encoder(codecs.video, codecs.video_label, extension);
    const AVCodec* sound_codec = find_encoder(codecs.sound, codecs.sound_label, extension);

    check(avformat_alloc_output_context2(&format_, nullptr, codecs.format, path.c_str()),
          std::string("no ") + codecs.format + " muxer");
    packet_ = av_packet_alloc();
    if (!packet_) throw std::runtime_error("out of memory");
    const bool global_header = format_->oformat->flags & AVFMT_GLOBALHEADER;

    // Video.
    video_ = avcodec_alloc_context3(video_codec);
    if (!video_) throw std::runtime_error("out of memory");
    video_->width = settings.width;
    video_->height = settings.height;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = AVRational{1, settings.fps};
    video_->framerate = AVRational{settings.fps, 1};
    video_->sample_aspect_ratio = AVRational{1, 1};
    video_->gop_size = settings.fps * 5;  // a key frame every 5 s, for seeking
    video_->thread_count = settings.threads;
    video_->color_range = AVCOL_RANGE_MPEG;
    video_->colorspace = AVCOL_SPC_BT709;
    video_->color_primaries = AVCOL_PRI_BT709;
    video_->color_trc = AVCOL_TRC_BT709;
    if (global_header) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (settings.container == VideoContainer::mp4) {
        // veryfast keeps weighted prediction (the fades) and the lookahead's
        // rate control, at a third of the default preset's time.
        set(video_, "preset", "veryfast");
        set(video_, "crf", std::to_string(settings.crf));
    } else {
        video_->bit_rate = 0;  // constant quality
        set(video_, "crf", std::to_string(settings.crf));
        set(video_, "deadline", "realtime");
        set(video_, "cpu-used", "8");
        set(video_, "row-mt", "1");
        set(video_, "tile-columns", "2");
    }
    check(avcodec_open2(video_, video_codec, nullptr), std::string("cannot open the ") + codecs.video_label + " encoder");
    video_stream_ = avformat_new_stream(format_, nullptr);
    if (!video_stream_) throw std::runtime_error("out of memory");
    check(avcodec_parameters_from_context(video_stream_->codecpar, video_), "video stream");
    video_stream_->time_base = video_->time_base;
    video_stream_->avg_frame_rate = video_->framerate;

    // Sound.
    sound_ = avcodec_alloc_context3(sound_codec);
    if (!sound_) throw std::runtime_error("out of memory");
    sound_->sample_fmt = pick_sample_format(sound_codec);
    sound_->sample_rate = codecs.sound_rate;
    sound_->bit_rate = codecs.sound_bit_rate;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    check(av_channel_layout_copy(&sound_->ch_layout, &stereo), "channel layout");
    sound_->time_base = AVRational{1, sound_->sample_rate};
    if (global_header) sound_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(sound_, sound_codec, nullptr), std::string("cannot open the ") + codecs.sound_label + " encoder");
    sound_stream_ = avformat_new_stream(format_, nullptr);
    if (!sound_stream_) throw std::runtime_error("out of memory");
    check(avcodec_parameters_from_context(sound_stream_->codecpar, sound_), "sound stream");
    sound_stream_->time_base = sound_->time_base;

    check(swr_alloc_set_opts2(&resampler_, &sound_->ch_layout, sound_->sample_fmt, sound_->sample_rate, &stereo,
                              AV_SAMPLE_FMT_S16, kInputRate, 0, nullptr),
          "sound conversion");
    check(swr_init(resampler_), "sound conversion");
    const int frame_size = sound_->frame_size > 0 ? sound_->frame_size : 1024;
    fifo_ = av_audio_fifo_alloc(sound_->sample_fmt, 2, frame_size * 4);
    if (!fifo_) throw std::runtime_error("out of memory");

    check(avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE), "cannot write " + path);
    AVDictionary* options = nullptr;
    // The index first, so that a phone or a web page can play while loading.
    if (settings.container == VideoContainer::mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    const int written = avformat_write_header(format_, &options);
    av_dict_free(&options);
    check(written, "cannot write the " + std::string(codecs.format) + " header");
}

void VideoFile::send(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    check(avcodec_send_frame(codec, frame), "encoding");
    for (;;) {
        const int got = avcodec_receive_packet(codec, packet_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        check(got, "encoding");
        av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        check(av_interleaved_write_frame(format_, packet_), "writing the file");
    }
}

void VideoFile::write_video(AVFrame* frame) {
    frame->pts = video_frames_++;
    try {
        send(video_, video_stream_, frame);
    } catch (...) {
        av_frame_free(&frame);
        throw;
    }
    av_frame_free(&frame);
}

void VideoFile::write_sound(const int16_t* samples, int frames) {
    const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const int room = swr_get_out_samples(resampler_, frames);
    uint8_t** output = nullptr;
    check(av_samples_alloc_array_and_samples(&output, nullptr, 2, room > 0 ? room : 1, sound_->sample_fmt, 0),
          "out of memory");
    const int made = swr_convert(resampler_, output, room, frames > 0 ? input : nullptr, frames);
    int stored = made;
    if (made > 0) stored = av_audio_fifo_write(fifo_, reinterpret_cast<void**>(output), made);
    av_freep(&output[0]);
    av_freep(&output);
    check(made, "sound conversion");
    check(stored, "out of memory");
    encode_sound(false);
}

void VideoFile::encode_sound(bool flush) {
    const int frame_size = sound_->frame_size > 0 ? sound_->frame_size : 1024;
    const bool short_last =
        sound_->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    for (;;) {
        const int available = av_audio_fifo_size(fifo_);
        if (available == 0 || (available < frame_size && !flush)) return;
        const int take = std::min(available, frame_size);
        AVFrame* frame = av_frame_alloc();
        if (!frame) throw std::runtime_error("out of memory");
        frame->nb_samples = take < frame_size && !short_last ? frame_size : take;
        frame->format = sound_->sample_fmt;
        frame->sample_rate = sound_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &sound_->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0) {
            av_frame_free(&frame);
            throw std::runtime_error("out of memory");
        }
        av_samples_set_silence(frame->data, 0, frame->nb_samples, 2, sound_->sample_fmt);
        av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), take);
        frame->pts = sound_pts_;
        sound_pts_ += frame->nb_samples;
        try {
            send(sound_, sound_stream_, frame);
        } catch (...) {
            av_frame_free(&frame);
            throw;
        }
        av_frame_free(&frame);
    }
}

void VideoFile::finish() {
    if (finished_) return;
    write_sound(nullptr, 0);  // what the resampler still holds
    encode_sound(true);
    send(sound_, sound_stream_, nullptr);
    send(video_, video_stream_, nullptr);
    check(av_write_trailer(format_), "cannot finish the file");
    check(avio_closep(&format_->pb), "cannot finish the file");
    finished_ = true;
}
