// vorbisfile's calls over stb_vorbis: the stream is read whole through the
// callbacks, then decoded frame by frame from memory.
#include "vorbis/vorbisfile.h"

#include <cstdlib>
#include <cstring>

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#include <stb_vorbis.h>  // from /usr/include/stb

namespace {

const size_t kMaximumTrackBytes = size_t(1) << 30;

// Reads the whole data source; null when it is empty or cannot be read.
unsigned char* readAll(void* source, const ov_callbacks& callbacks, int* length) {
    size_t capacity = 1 << 20, size = 0;
    unsigned char* data = static_cast<unsigned char*>(std::malloc(capacity));
    while (data) {
        if (size == capacity) {
            if (capacity >= kMaximumTrackBytes) break;
            unsigned char* grown = static_cast<unsigned char*>(std::realloc(data, capacity * 2));
            if (!grown) break;
            data = grown;
            capacity *= 2;
        }
        size_t got = callbacks.read_func(data + size, 1, capacity - size, source);
        if (got == 0) {
            if (size == 0) break;
            *length = int(size);
            return data;
        }
        size += got;
    }
    std::free(data);
    return nullptr;
}

}  // namespace

int ov_open_callbacks(void* datasource, OggVorbis_File* vf, const char* initial, long ibytes,
                      ov_callbacks callbacks) {
    (void)initial;
    (void)ibytes;
    std::memset(vf, 0, sizeof *vf);
    int length = 0;
    unsigned char* data = readAll(datasource, callbacks, &length);
    if (!data) return OV_EREAD;
    int error = 0;
    stb_vorbis* decoder = stb_vorbis_open_memory(data, length, &error, nullptr);
    if (!decoder) {
        std::free(data);
        return OV_ENOTVORBIS;
    }
    stb_vorbis_info info = stb_vorbis_get_info(decoder);
    if (info.channels <= 0 || info.channels > 16) {
        stb_vorbis_close(decoder);
        std::free(data);
        return OV_ENOTVORBIS;
    }
    vf->datasource = datasource;
    vf->callbacks = callbacks;
    vf->decoder = decoder;
    vf->data = data;
    vf->info.version = 0;
    vf->info.channels = info.channels;
    vf->info.rate = long(info.sample_rate);
    return 0;
}

long ov_read_float(OggVorbis_File* vf, float*** pcm_channels, int samples, int* bitstream) {
    if (!vf || !vf->decoder) return OV_EINVAL;
    if (bitstream) *bitstream = 0;
    while (vf->frame_used >= vf->frame_length) {
        int channels = 0;
        float** output = nullptr;
        int length = stb_vorbis_get_frame_float(vf->decoder, &channels, &output);
        if (length <= 0) return 0;  // the end of the track
        vf->frame = output;
        vf->frame_length = length;
        vf->frame_used = 0;
    }
    int available = vf->frame_length - vf->frame_used;
    int count = samples < available ? samples : available;
    if (count <= 0) return 0;
    for (int c = 0; c < vf->info.channels; ++c) vf->pointers[c] = vf->frame[c] + vf->frame_used;
    vf->frame_used += count;
    *pcm_channels = vf->pointers;
    return count;
}

vorbis_info* ov_info(OggVorbis_File* vf, int) { return vf && vf->decoder ? &vf->info : nullptr; }

int ov_clear(OggVorbis_File* vf) {
    if (!vf) return 0;
    if (vf->decoder) stb_vorbis_close(vf->decoder);
    std::free(vf->data);
    if (vf->datasource && vf->callbacks.close_func) vf->callbacks.close_func(vf->datasource);
    std::memset(vf, 0, sizeof *vf);
    return 0;
}
