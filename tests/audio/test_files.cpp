#include "test_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kit/demo/audio_buffer.h"

void write_file(const std::string& name, const Bytes& bytes) {
    std::filesystem::path path(name);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
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

Bytes Wav::bytes() const {
    Bytes format;
    for (uint32_t value : {uint32_t(tag), uint32_t(channels)}) put_u16(format, value);
    put_u32(format, rate);
    put_u32(format, rate * block_align);
    put_u16(format, block_align);
    put_u16(format, bits);
    format.insert(format.end(), extension.begin(), extension.end());
    format.resize(format_bytes, 0);
    const uint32_t data_bytes = uint32_t(samples.size() * 2);
    Bytes out;
    put_tag(out, "RIFF");
    put_u32(out, uint32_t(4 + 8 + format.size() + 8 + data_bytes));
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put_u32(out, format_bytes);
    out.insert(out.end(), format.begin(), format.end());
    put_tag(out, "data");
    put_u32(out, data_bytes);
    for (int16_t value : samples) put_u16(out, uint16_t(value));
    return out;
}

Bytes make_wav(const std::vector<int16_t>& interleaved) {
    Wav wav;
    wav.samples = interleaved;
    return wav.bytes();
}

Bytes make_vorbis(int channels, int rate, int frames,
                  const std::function<float(int channel, int frame)>& sample, float quality) {
    return encode_ogg_vorbis(channels, rate, size_t(frames),
                             [&sample](int channel, size_t frame) { return sample(channel, int(frame)); },
                             quality, nullptr);
}
