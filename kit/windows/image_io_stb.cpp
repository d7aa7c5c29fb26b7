// PNG and JPEG for the Windows build of the kit, where Debian has no MinGW
// libpng or libjpeg: the single-file stb_image decoders and writers.
#include <cstring>
#include <stdexcept>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include "kit/image/image_file.h"

namespace {

RgbImage decodeWithStb(const std::vector<uint8_t>& bytes, const char* kind) {
    if (bytes.empty() || bytes.size() > size_t(1) << 30) throw std::runtime_error(std::string("bad ") + kind);
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (!pixels) throw std::runtime_error(std::string("bad ") + kind + ": " + stbi_failure_reason());
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        stbi_image_free(pixels);
        throw std::runtime_error(std::string(kind) + " size out of range");
    }
    // Alpha is composited onto black, as the other readers do.
    RgbImage image(width, height);
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) {
        unsigned alpha = pixels[4 * i + 3];
        for (int c = 0; c < 3; ++c) image.rgb[3 * i + c] = uint8_t((pixels[4 * i + c] * alpha + 127) / 255);
    }
    stbi_image_free(pixels);
    return image;
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

RgbImage decodePng(const std::vector<uint8_t>& bytes) { return decodeWithStb(bytes, "PNG"); }

RgbImage decodeJpeg(const std::vector<uint8_t>& bytes) { return decodeWithStb(bytes, "JPEG"); }

std::vector<uint8_t> encodePng(const RgbImage& image) {
    std::vector<uint8_t> out;
    if (!stbi_write_png_to_func(appendBytes, &out, image.width, image.height, 3, image.rgb.data(), image.width * 3))
        throw std::runtime_error("cannot write PNG");
    return out;
}

std::vector<uint8_t> encodeJpeg(const RgbImage& image, int quality) {
    std::vector<uint8_t> out;
    if (!stbi_write_jpg_to_func(appendBytes, &out, image.width, image.height, 3, image.rgb.data(), quality))
        throw std::runtime_error("cannot write JPEG");
    return out;
}
