#include "test_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <vorbis/vorbisenc.h>

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
    previous = fs::current_path().string();
    std::string pattern = (fs::temp_directory_path() / "vel_audio_XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) directory = name.data();
    fs::current_path(directory);
}

ScratchDirectory::~ScratchDirectory() {
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

void write_file(const std::string& name, const Bytes& bytes) {
    fs::path path(name);
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_u16(Bytes& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(Bytes& out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

void put_tag(Bytes& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

Bytes make_wav(const std::vector<int16_t>& interleaved, uint16_t channels, uint32_t rate, uint16_t bits,
               uint16_t block_align, uint16_t tag) {
    Bytes out;
    uint32_t data_bytes = uint32_t(interleaved.size() * 2);
    put_tag(out, "RIFF");
    put_u32(out, 36 + data_bytes);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put_u32(out, 16);
    put_u16(out, tag);
    put_u16(out, channels);
    put_u32(out, rate);
    put_u32(out, rate * block_align);
    put_u16(out, block_align);
    put_u16(out, bits);
    put_tag(out, "data");
    put_u32(out, data_bytes);
    for (int16_t value : interleaved) put_u16(out, uint16_t(value));
    return out;
}

Bytes make_vorbis(int channels, int rate, int frames,
                  const std::function<float(int channel, int frame)>& sample, float quality) {
    Bytes out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);

    ogg_page page;
    auto append = [&out](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    while (ogg_stream_flush(&stream, &page)) append(page);

    const int chunk = 1024;
    int done = 0;
    bool finished = false;
    while (!finished) {
        int n = frames - done < chunk ? frames - done : chunk;
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, n);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < n; ++i) buffer[c][i] = sample(c, done + i);
            vorbis_analysis_wrote(&dsp, n);
            done += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    append(page);
                    if (ogg_page_eos(&page)) finished = true;
                }
            }
        }
        if (n <= 0 && !finished) {
            while (ogg_stream_flush(&stream, &page)) append(page);
            finished = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}
