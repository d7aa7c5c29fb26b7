// PNG through libpng's simplified interface.
#include <png.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "kit/image/image_file.h"

RgbImage decodePng(const std::vector<uint8_t>& bytes) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
        throw std::runtime_error(std::string("bad PNG: ") + png.message);
    if (png.width == 0 || png.height == 0 || png.width > 65535 || png.height > 65535) {
        png_image_free(&png);
        throw std::runtime_error("PNG size out of range");
    }
    png.format = PNG_FORMAT_RGB;
    RgbImage image(int(png.width), int(png.height));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        const std::string message = png.message;
        png_image_free(&png);
        throw std::runtime_error("bad PNG: " + message);
    }
    return image;
}

std::vector<uint8_t> encodePng(const RgbImage& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.rgb.data(), 0, nullptr))
        throw std::runtime_error(std::string("cannot write PNG: ") + png.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.rgb.data(), 0, nullptr))
        throw std::runtime_error(std::string("cannot write PNG: ") + png.message);
    bytes.resize(size);
    return bytes;
}
