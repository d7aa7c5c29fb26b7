#include <vorbis/vorbisenc.h>

#include <cstdlib>
#include <cstring>

#include "kit/demo/audio_buffer.h"

namespace {

void append_page(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// Drains finished blocks from the analysis into packets and pages.
void drain(vorbis_dsp_state& dsp, vorbis_block& block, ogg_stream_state& stream, std::vector<uint8_t>& out) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_pageout(&stream, &page)) append_page(out, page);
        }
    }
}

}  // namespace

std::vector<uint8_t> encode_ogg_vorbis(const StereoBuffer& audio, float quality, std::string* error) {
    const float* samples = audio.samples.data();
    return encode_ogg_vorbis(2, audio.rate, audio.frames(),
                             [samples](int channel, size_t frame) { return samples[2 * frame + size_t(channel)]; },
                             quality, error);
}

std::vector<uint8_t> encode_ogg_vorbis(int channels, int rate, size_t frames,
                                       const std::function<float(int channel, size_t frame)>& sample,
                                       float quality, std::string* error) {
    std::vector<uint8_t> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        if (error) *error = "the Vorbis encoder refused the format";
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "Velandora");
    vorbis_comment_add_tag(&comment, "ENCODER", "velkit demo");

    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x56656C61);  // any fixed serial keeps the output reproducible

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) append_page(out, page);

    const size_t chunk = 4096;
    for (size_t start = 0; start < frames; start += chunk) {
        size_t count = frames - start < chunk ? frames - start : chunk;
        float** buffer = vorbis_analysis_buffer(&dsp, int(count));
        for (int channel = 0; channel < channels; ++channel)
            for (size_t i = 0; i < count; ++i) buffer[channel][i] = sample(channel, start + i);
        vorbis_analysis_wrote(&dsp, int(count));
        drain(dsp, block, stream, out);
    }
    vorbis_analysis_wrote(&dsp, 0);  // end of stream
    drain(dsp, block, stream, out);
    while (ogg_stream_flush(&stream, &page)) append_page(out, page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}
