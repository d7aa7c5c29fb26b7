// RIFF WAVE loops: the header is checked against what the mixer plays (16-bit
// PCM stereo at 44100 Hz) and every size against what the file holds, so a
// damaged or foreign file is refused instead of misread.
#include "audio/wav_loop.h"

#include <cstdio>
#include <cstring>

#include "lib/file_system.h"
#include "lib/heap.h"
#include "lib/stream.h"

namespace {

const uint32_t kDataTag = 0x61746164; // "data"
const uint32_t kFormatRecordBytes = 40;  // WAVEFORMATEXTENSIBLE, the longest we read
const uint32_t kFormatMinimumBytes = 16;
const uint32_t kExtensibleBytes = 40;
const uint16_t kFormatPcm = 1;
const uint16_t kFormatExtensible = 0xFFFE;
// The tail of every KSDATAFORMAT_SUBTYPE_* GUID; its first two bytes name the format.
const unsigned char kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool read_u32(Stream* stream, uint32_t* value) {
    unsigned char bytes[4];
    if (stream->read(bytes, 4) != 4) return false;
    *value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
             uint32_t(bytes[3]) << 24;
    return true;
}

uint32_t remaining(Stream* stream) {
    int32_t size = stream->size(), at = stream->tell();
    return size > at && at >= 0 ? uint32_t(size - at) : 0;
}

uint16_t u16_at(const unsigned char* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

uint32_t u32_at(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

bool refuse(const char* name, const char* why) {
    std::fprintf(stderr, "load_loop: %s: %s\n", name, why);
    return false;
}

bool read_loop(Stream* stream, const char* name, int16_t** samples, uint32_t* frames) {
    uint32_t header[5];
    for (uint32_t& value : header)
        if (!read_u32(stream, &value)) return refuse(name, "too short for a RIFF WAVE header");
    uint32_t formatBytes = header[4];
    if (formatBytes < kFormatMinimumBytes) return refuse(name, "format chunk shorter than 16 bytes");
    if (formatBytes > remaining(stream)) return refuse(name, "format chunk runs past the end");

    unsigned char format[kFormatRecordBytes] = {};
    uint32_t take = formatBytes < kFormatRecordBytes ? formatBytes : kFormatRecordBytes;
    if (stream->read(format, int32_t(take)) != int32_t(take))
        return refuse(name, "format chunk runs past the end");
    if (formatBytes > kFormatRecordBytes) stream->seekRelative(int32_t(formatBytes - kFormatRecordBytes));

    uint16_t tag = u16_at(format);
    // Many editors write 16-bit stereo PCM in the extensible layout: the
    // format then lives in its subtype, and every sample bit must be valid.
    if (tag == kFormatExtensible) {
        if (formatBytes < kExtensibleBytes || u16_at(format + 16) < 22)
            return refuse(name, "extensible format chunk too short");
        const uint16_t validBits = u16_at(format + 18);
        const uint32_t channelMask = u32_at(format + 20);
        if (u16_at(format + 24) != kFormatPcm || std::memcmp(format + 26, kSubtypeTail, 14) != 0)
            return refuse(name, "not 16-bit PCM stereo at 44100 Hz");
        if (validBits != 16 || (channelMask != 0 && channelMask != 3))
            return refuse(name, "not 16-bit PCM stereo at 44100 Hz");
        tag = kFormatPcm;
    }
    uint16_t channels = u16_at(format + 2), blockAlign = u16_at(format + 12),
             bits = u16_at(format + 14);
    uint32_t rate = u32_at(format + 4);
    if (blockAlign == 0) return refuse(name, "block align is 0");
    if (tag != 1 || channels != 2 || rate != 44100 || bits != 16 || blockAlign != 4)
        return refuse(name, "not 16-bit PCM stereo at 44100 Hz");

    while (!stream->atEnd()) {
        uint32_t id = 0, size = 0;
        if (!read_u32(stream, &id) || !read_u32(stream, &size))
            return refuse(name, "chunk header runs past the end");
        if (size > remaining(stream)) return refuse(name, "chunk runs past the end of the file");
        if (id != kDataTag) {
            stream->seekRelative(int32_t(size));
            continue;
        }
        uint32_t count = size / blockAlign;
        if (count == 0) return refuse(name, "data chunk holds no frames");
        uint32_t bytes = count * channels * 2;
        int16_t* block = static_cast<int16_t*>(heapAlloc(bytes));
        if (!block) return refuse(name, "out of memory");
        if (stream->read(block, int32_t(bytes)) != int32_t(bytes)) {
            heapFree(block);
            return refuse(name, "data chunk runs past the end");
        }
        *samples = block;
        *frames = count;
        return true;
    }
    return refuse(name, "no data chunk");
}

} // namespace

bool load_wav_loop(const char* name, int16_t** samples, uint32_t* frames) {
    *samples = nullptr;
    *frames = 0;
    if (!name) return false;
    Stream* stream = openFile(name);
    if (!stream) return false;
    bool loaded = read_loop(stream, name, samples, frames);
    delete stream;
    return loaded;
}

void free_loop_samples(int16_t* samples) { heapFree(samples); }
