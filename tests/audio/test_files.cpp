#include "test_files.h"

#include "kit/demo/audio_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>


namespace fs = std::filesystem;


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
    return encode_ogg_vorbis(channels, rate, size_t(frames),
                             [&sample](int channel, size_t frame) { return sample(channel, int(frame)); },
                             quality, nullptr);
}
