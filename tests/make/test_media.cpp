#include "test_media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}
#include <libheif/heif.h>
#include <webp/encode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "kit/image/image_file.h"

namespace {

// Sample value of the test chord at frame n, channel c.
double chord(int64_t n, int c, int rate) {
    const double t = double(n) / rate;
    return 0.3 * std::sin(2 * M_PI * 440.0 * t) + 0.2 * std::sin(2 * M_PI * (c ? 660.0 : 550.0) * t);
}

void putSample(AVFrame* frame, AVSampleFormat format, int channels, int i, int c, double value) {
    const bool planar = av_sample_fmt_is_planar(format);
    const int index = planar ? i : i * channels + c;
    uint8_t* base = frame->extended_data[planar ? c : 0];
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(base)[index] = int16_t(std::lround(value * 32767)); break;
        case AV_SAMPLE_FMT_S32:
            reinterpret_cast<int32_t*>(base)[index] = int32_t(std::lround(value * 2147483647.0));
            break;
        case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(base)[index] = float(value); break;
        default: break;  // not a format of the encoders used here
    }
}

}  // namespace

double rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(std::max<size_t>(1, to - from)));
}

bool hasAudioEncoder(const std::string& encoder) { return avcodec_find_encoder_by_name(encoder.c_str()) != nullptr; }

void writeSong(const std::string& path, const std::string& encoderName, double seconds, int rate, int channels) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) throw std::runtime_error("no encoder " + encoderName);
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()) < 0 || !output)
        throw std::runtime_error("no container for " + path);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->sample_rate = rate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    context->bit_rate = 128000;
    context->time_base = AVRational{1, rate};
    if (output->oformat->flags & AVFMT_GLOBALHEADER) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    bool ok = avcodec_open2(context, codec, nullptr) >= 0;
    AVStream* stream = ok ? avformat_new_stream(output, nullptr) : nullptr;
    ok = ok && stream && avcodec_parameters_from_context(stream->codecpar, context) >= 0;
    if (ok) stream->time_base = context->time_base;
    ok = ok && avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(output, nullptr) >= 0;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const int frameSize = context->frame_size > 0 ? context->frame_size : 1024;
    const int64_t total = int64_t(std::llround(seconds * rate));
    auto drain = [&] {
        while (avcodec_receive_packet(context, packet) >= 0) {
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(output, packet);
        }
    };
    for (int64_t at = 0; ok && at < total; at += frameSize) {
        const int count = int(std::min<int64_t>(frameSize, total - at));
        // A fixed-size codec gets its last frame padded with silence.
        const int flexible = AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME;
        frame->nb_samples = (context->codec->capabilities & flexible) || count == frameSize ? count : frameSize;
        frame->format = context->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        frame->sample_rate = rate;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        for (int i = 0; ok && i < frame->nb_samples; ++i)
            for (int c = 0; c < channels; ++c)
                putSample(frame, context->sample_fmt, channels, i, c, i < count ? chord(at + i, c, rate) : 0.0);
        frame->pts = at;
        ok = ok && avcodec_send_frame(context, frame) >= 0;
        av_frame_unref(frame);
        if (ok) drain();
    }
    if (ok) {
        avcodec_send_frame(context, nullptr);
        drain();
        ok = av_write_trailer(output) >= 0;
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    if (output->pb) avio_closep(&output->pb);
    avformat_free_context(output);
    if (!ok) throw std::runtime_error("writing " + path + " with " + encoderName + " failed");
}

void writeExifJpeg(const std::string& path, const RgbImage& stored, int orientation, const std::string& taken) {
    // Little-endian TIFF: IFD0 with the orientation and a pointer to the Exif IFD that holds the date.
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint32_t v) { tiff.insert(tiff.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        u16(tag), u16(type), u32(count), u32(value);
    };
    const uint32_t entries = (orientation ? 1 : 0) + (taken.empty() ? 0 : 1), exifIfd = 8 + 2 + 12 * entries + 4;
    u16(entries);
    if (orientation) entry(0x0112, 3, 1, uint32_t(orientation));
    if (!taken.empty()) entry(0x8769, 4, 1, exifIfd);
    u32(0);
    if (!taken.empty()) {
        u16(1), entry(0x9003, 2, 20, exifIfd + 2 + 12 + 4), u32(0);
        std::string date = taken;
        date.resize(20, '\0');
        tiff.insert(tiff.end(), date.begin(), date.end());
    }
    const size_t length = 2 + 6 + tiff.size();
    std::vector<uint8_t> app1 = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    std::vector<uint8_t> jpeg = encodeJpeg(stored, 92);
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());  // first after the start of image, as cameras write
    writeFileBytes(path, jpeg);
}

bool writeWebp(const std::string& path, const RgbImage& image) {
    uint8_t* output = nullptr;
    const size_t size = WebPEncodeRGB(image.rgb.data(), image.width, image.height, image.width * 3, 95, &output);
    if (!size) return false;
    writeFileBytes(path, std::vector<uint8_t>(output, output + size));
    WebPFree(output);
    return true;
}

bool writeHeic(const std::string& path, const RgbImage& image, std::string* error) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_error result = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    if (result.code != heif_error_Ok) {
        *error = std::string("no HEVC encoder: ") + result.message;
        heif_context_free(context);
        return false;
    }
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image* picture = nullptr;
    heif_image_create(image.width, image.height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width, image.height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(plane + size_t(y) * size_t(stride), image.pixel(0, y), size_t(image.width) * 3);
    result = heif_context_encode_image(context, picture, encoder, nullptr, nullptr);
    if (result.code == heif_error_Ok) result = heif_context_write_to_file(context, path.c_str());
    if (result.code != heif_error_Ok) *error = result.message;
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return result.code == heif_error_Ok;
}

std::string testDataDirectory() { return VEL_TEST_DATA_DIR; }

RgbImage testPhoto(const std::string& name) {
    const std::string path = testDataDirectory() + "/photos/" + name;
    if (!std::ifstream(path).good()) return RgbImage();
    return readImageFile(path);
}

std::string wallpaperPath() {
    const std::string path = testDataDirectory() + "/wallpapers/Kleiber_by_Lukas_Baubkus.jpg";
    return std::ifstream(path).good() ? path : std::string();
}
