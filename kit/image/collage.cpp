#include "kit/image/collage.h"

#include <algorithm>
#include <stdexcept>

#include "kit/image/image_file.h"
#include "kit/image/scale.h"

RgbImage makeCollage(const std::vector<RgbImage>& pictures, int columns, int rows, int width, int height) {
    if (columns <= 0 || rows <= 0 || pictures.size() != size_t(columns) * size_t(rows))
        throw std::invalid_argument("a collage needs columns x rows pictures");
    RgbImage collage(width, height);
    for (int row = 0; row < rows; ++row) {
        const int top = height * row / rows, bottom = height * (row + 1) / rows;
        for (int column = 0; column < columns; ++column) {
            const int left = width * column / columns, right = width * (column + 1) / columns;
            const RgbImage tile = scaleAndCrop(pictures[size_t(row) * columns + column], right - left, bottom - top);
            for (int y = 0; y < tile.height; ++y)
                std::copy(tile.pixel(0, y), tile.pixel(0, y) + size_t(tile.width) * 3, collage.pixel(left, top + y));
        }
    }
    return collage;
}

const std::vector<std::string>& collagePhotoNames() {
    static const std::vector<std::string> names = {"astronaut.png", "coffee.png", "chelsea.png",
                                                   "motorcycle_left.png"};
    return names;
}

RgbImage makePhotoCollage(const std::string& photoDirectory) {
    std::vector<RgbImage> pictures;
    for (const std::string& name : collagePhotoNames()) pictures.push_back(readImageFile(photoDirectory + "/" + name));
    return makeCollage(pictures, 2, 2, 1024, 512);
}
