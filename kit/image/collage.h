#pragma once
// Collages of photographs: several pictures, each scaled and centre-cropped
// into one tile of a grid. A 1024 x 512 collage of a few photographs keeps
// the density of natural detail that enlarging a single small photograph
// would wash out, which makes it the codec's test and benchmark picture.
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

// Tiles the pictures row by row into a columns x rows grid covering
// width x height (tile sizes differ by at most one pixel). Needs exactly
// columns x rows pictures.
RgbImage makeCollage(const std::vector<RgbImage>& pictures, int columns, int rows, int width, int height);

// The test photographs the collage uses, in tile order (found in
// scripts/fetch-test-photos.sh's photos directory).
const std::vector<std::string>& collagePhotoNames();

// The 1024 x 512 test collage of the photographs in photoDirectory: a 2 x 2
// grid of 512 x 256 tiles. Throws std::runtime_error when a photograph is
// missing or unreadable.
RgbImage makePhotoCollage(const std::string& photoDirectory);
