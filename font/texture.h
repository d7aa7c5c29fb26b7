#pragma once
// Texture loading: headerless RGB files expanded to RGBA with an alpha mode,
// and RGBA blocks that the caller already holds. The uploads need the GL
// context current and leave the texture bound to GL_TEXTURE_2D.
#include <cstdint>

// Alpha modes of load_raw_texture and convert_raw_rgb.
enum RawAlphaMode : int32_t {
    kAlphaOpaque = 0,    // any mode other than 1 and 2 is opaque too
    kAlphaColourKey = 1, // (255, 0, 127) becomes (0, 0, 0, 0); the rest opaque
    kAlphaFromRed = 2,   // alpha = red
};

// Reads width x height RGB pixels of `file_name` through openFile, expands
// them to RGBA and uploads them into `texture` with linear filtering and
// repeating wrap. A file that can't be opened uploads a fully transparent
// image; pixels beyond the end of a short file are black.
void load_raw_texture(uint32_t texture, const char* file_name, int32_t width, int32_t height, int32_t alpha_mode);

// The reading and expanding half of load_raw_texture: writes width x height x 4
// bytes into `rgba`. Returns false, with `rgba` all zero, when the file can't
// be opened; false without writing when the sizes are not positive or too big.
bool convert_raw_rgb(const char* file_name, uint8_t* rgba, int32_t width, int32_t height, int32_t alpha_mode);

// The expansion alone, from width x height x 3 bytes of RGB.
void expand_rgb_to_rgba(const uint8_t* rgb, uint8_t* rgba, int32_t width, int32_t height, int32_t alpha_mode);

// Uploads width x height RGBA pixels (which stay the caller's) into `texture`
// with nearest filtering and clamped wrap.
void upload_rgba_texture(uint32_t texture, const void* pixels, int32_t width, int32_t height);
