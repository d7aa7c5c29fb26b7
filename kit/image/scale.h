#pragma once
// Picture scaling for the kit: a separable Lanczos-3 resampler that filters
// properly when shrinking, and the "fill then centre-crop" fit used for
// --size.
#include "kit/image/rgb_image.h"

// Resamples the source rectangle (x, y, width, height in source pixels,
// fractional allowed) to an image of outWidth x outHeight.
RgbImage resampleRegion(const RgbImage& source, double x, double y, double width, double height, int outWidth,
                        int outHeight);

// Scales the picture so that it covers outWidth x outHeight while keeping its
// aspect ratio, and cuts away what overhangs equally on both sides.
RgbImage scaleAndCrop(const RgbImage& source, int outWidth, int outHeight);
