#pragma once
// The part of vorbisfile's interface that the music stream uses, served by the
// single-file stb_vorbis decoder. Builds without libvorbis (the Windows cross
// build) put this directory on the include path in place of the real header,
// so the music code compiles unchanged.
#include <cstddef>
#include <cstdint>

typedef int64_t ogg_int64_t;

typedef struct {
    size_t (*read_func)(void* ptr, size_t size, size_t nmemb, void* datasource);
    int (*seek_func)(void* datasource, ogg_int64_t offset, int whence);
    int (*close_func)(void* datasource);
    long (*tell_func)(void* datasource);
} ov_callbacks;

typedef struct {
    int version;
    int channels;
    long rate;
} vorbis_info;

struct stb_vorbis;

// Decoder state; zero-initialised memory is a closed decoder.
typedef struct {
    void* datasource;
    ov_callbacks callbacks;
    struct stb_vorbis* decoder;
    unsigned char* data;  // the whole stream, read at open
    vorbis_info info;
    float** frame;        // channels of the last decoded frame
    int frame_length;     // its samples per channel
    int frame_used;       // samples per channel already handed out
    float* pointers[16];  // handed out: frame + frame_used, per channel
} OggVorbis_File;

#define OV_HOLE (-3)  // never returned here: stb_vorbis passes over lost pages itself
#define OV_EREAD (-128)
#define OV_EFAULT (-129)
#define OV_EINVAL (-131)
#define OV_ENOTVORBIS (-132)

// 0 on success; on failure the data source stays the caller's.
int ov_open_callbacks(void* datasource, OggVorbis_File* vf, const char* initial, long ibytes,
                      ov_callbacks callbacks);
// Up to `samples` frames as per-channel float arrays; 0 at the end, negative on error.
long ov_read_float(OggVorbis_File* vf, float*** pcm_channels, int samples, int* bitstream);
vorbis_info* ov_info(OggVorbis_File* vf, int link);
// Frees the decoder and closes the data source.
int ov_clear(OggVorbis_File* vf);
