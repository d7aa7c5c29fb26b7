#include "font/texture.h"

#include <cstring>

#include "font/gl.h"
#include "lib/file_system.h"
#include "lib/heap.h"
#include "lib/stream.h"

namespace {

// Largest image the loaders take: its RGBA size must fit a signed 32-bit count.
constexpr int64_t kMaxPixels = 0x7FFFFFFF / 4;

bool valid_size(int32_t width, int32_t height) {
    return width > 0 && height > 0 && int64_t(width) * height <= kMaxPixels;
}

void specify_image(uint32_t texture, const void* pixels, int32_t width, int32_t height) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace

void expand_rgb_to_rgba(const uint8_t* rgb, uint8_t* rgba, int32_t width, int32_t height, int32_t alpha_mode) {
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i, rgb += 3, rgba += 4) {
        const uint8_t red = rgb[0], green = rgb[1], blue = rgb[2];
        if (alpha_mode == kAlphaColourKey && red == 255 && green == 0 && blue == 127) {
            // The key colour loses its colour as well as its alpha.
            rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
            continue;
        }
        rgba[0] = red;
        rgba[1] = green;
        rgba[2] = blue;
        rgba[3] = alpha_mode == kAlphaFromRed ? red : 255;
    }
}

bool convert_raw_rgb(const char* file_name, uint8_t* rgba, int32_t width, int32_t height, int32_t alpha_mode) {
    if (!valid_size(width, height)) return false;
    const int32_t rgb_size = width * height * 3;
    Stream* stream = openFile(file_name);
    if (!stream) {
        std::memset(rgba, 0, size_t(width) * size_t(height) * 4);
        return false;
    }
    // Zeroed first, so the part that a short file doesn't cover comes out black.
    uint8_t* rgb = static_cast<uint8_t*>(heapAlloc(size_t(rgb_size)));
    if (!rgb) {  // out of memory: the image stays transparent, as for a missing file
        delete stream;
        std::memset(rgba, 0, size_t(width) * size_t(height) * 4);
        return false;
    }
    std::memset(rgb, 0, size_t(rgb_size));
    stream->read(rgb, rgb_size);
    delete stream;
    expand_rgb_to_rgba(rgb, rgba, width, height, alpha_mode);
    heapFree(rgb);
    return true;
}

void load_raw_texture(uint32_t texture, const char* file_name, int32_t width, int32_t height, int32_t alpha_mode) {
    if (!valid_size(width, height)) return;
    uint8_t* rgba = static_cast<uint8_t*>(heapAlloc(size_t(width) * size_t(height) * 4));
    if (!rgba) return;  // out of memory: the texture is left as it was
    convert_raw_rgb(file_name, rgba, width, height, alpha_mode);
    specify_image(texture, rgba, width, height);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    heapFree(rgba);
}

void upload_rgba_texture(uint32_t texture, const void* pixels, int32_t width, int32_t height) {
    specify_image(texture, pixels, width, height);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}
