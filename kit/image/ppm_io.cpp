// Binary PPM (P6), 8 bits per sample.
#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

#include "kit/image/image_file.h"

namespace {

// Reads one header number, skipping white space and '#' comments.
long readNumber(const std::vector<uint8_t>& bytes, size_t& at) {
    for (;;) {
        while (at < bytes.size() && std::isspace(bytes[at])) ++at;
        if (at < bytes.size() && bytes[at] == '#') {
            while (at < bytes.size() && bytes[at] != '\n') ++at;
            continue;
        }
        break;
    }
    if (at >= bytes.size() || !std::isdigit(bytes[at])) throw std::runtime_error("malformed PPM header");
    long value = 0;
    while (at < bytes.size() && std::isdigit(bytes[at])) {
        value = value * 10 + (bytes[at++] - '0');
        if (value > 1000000) throw std::runtime_error("PPM header value too large");
    }
    return value;
}

}  // namespace

RgbImage decodePpm(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') throw std::runtime_error("not a binary PPM (P6)");
    size_t at = 2;
    const long width = readNumber(bytes, at);
    const long height = readNumber(bytes, at);
    const long maximum = readNumber(bytes, at);
    if (width <= 0 || height <= 0) throw std::runtime_error("PPM has an empty picture");
    if (maximum != 255) throw std::runtime_error("only 8-bit PPM (maximum 255) is supported");
    if (at >= bytes.size() || !std::isspace(bytes[at])) throw std::runtime_error("malformed PPM header");
    ++at;  // the single white space character before the samples
    const size_t need = size_t(width) * size_t(height) * 3;
    if (bytes.size() - at < need) throw std::runtime_error("PPM pixel data is truncated");
    RgbImage image(static_cast<int>(width), static_cast<int>(height));
    std::copy(bytes.begin() + long(at), bytes.begin() + long(at + need), image.rgb.begin());
    return image;
}

std::vector<uint8_t> encodePpm(const RgbImage& image) {
    const std::string header = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), image.rgb.begin(), image.rgb.end());
    return bytes;
}
