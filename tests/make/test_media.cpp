#include "test_media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <libheif/heif.h>
#include <webp/encode.h>

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
        case AV_SAMPLE_FMT_S32: reinterpret_cast<int32_t*>(base)[index] = int32_t(std::lround(value * 2147483647.0)); break;
        case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(base)[index] = float(value); break;
        case AV_SAMPLE_FMT_DBL: reinterpret_cast<double*>(base)[index] = value; break;
        case AV_SAMPLE_FMT_U8: base[index] = uint8_t(std::lround(value * 127 + 128)); break;
        default: break;
    }
}

}  // namespace

bool hasAudioEncoder(const std::string& encoder) { return avcodec_find_encoder_by_name(encoder.c_str()) != nullptr; }

bool writeSong(const std::string& path, const std::string& encoderName, double seconds, int rate, int channels,
               std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) {
        *error = "no encoder " + encoderName;
        return false;
    }
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()) < 0 || !output) {
        *error = "no container for " + path;
        return false;
    }
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
        frame->nb_samples = (context->codec->capabilities & (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME)) ||
                                    count == frameSize
                                ? count
                                : frameSize;  // a fixed-size codec gets its last frame padded with silence
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
    if (!ok) *error = "writing " + path + " with " + encoderName + " failed";
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    if (output->pb) avio_closep(&output->pb);
    avformat_free_context(output);
    return ok;
}

void writeExifJpeg(const std::string& path, const RgbImage& stored, int orientation, const std::string& taken) {
    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    exif_data_set_data_type(exif, EXIF_DATA_TYPE_COMPRESSED);
    if (orientation) {
        ExifEntry* entry = exif_entry_new();
        exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
        exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
        exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, ExifShort(orientation));
        exif_entry_unref(entry);
    }
    if (!taken.empty()) {
        ExifEntry* entry = exif_entry_new();
        exif_content_add_entry(exif->ifd[EXIF_IFD_EXIF], entry);
        exif_entry_initialize(entry, EXIF_TAG_DATE_TIME_ORIGINAL);
        if (entry->data && entry->size >= 20) {
            std::memset(entry->data, 0, entry->size);
            std::memcpy(entry->data, taken.c_str(), std::min<size_t>(taken.size(), 19));
        }
        exif_entry_unref(entry);
    }
    unsigned char* app1 = nullptr;
    unsigned int app1Size = 0;
    exif_data_save_data(exif, &app1, &app1Size);
    exif_data_unref(exif);

    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(stored.width);
    info.image_height = JDIMENSION(stored.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    info.write_JFIF_header = FALSE;
    jpeg_start_compress(&info, TRUE);
    if (app1) jpeg_write_marker(&info, JPEG_APP0 + 1, app1, app1Size);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(stored.pixel(0, int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    std::free(app1);
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
