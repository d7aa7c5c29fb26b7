#include "kit/image/image_file.h"

#include <stdexcept>

RgbImage readImageFile(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    try {
        if (bytes.size() >= 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G')
            return decodePng(bytes);
        if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return decodeJpeg(bytes);
        if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == '6') return decodePpm(bytes);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
    throw std::runtime_error(path + ": not a PNG, JPEG or binary PPM picture");
}

void writeImageFile(const std::string& path, const RgbImage& image) {
    const std::string extension = fileExtension(path);
    if (extension == ".png")
        writeFileBytes(path, encodePng(image));
    else if (extension == ".ppm")
        writeFileBytes(path, encodePpm(image));
    else
        throw std::runtime_error(path + ": unknown picture extension (use .png or .ppm)");
}
