#pragma once
// Fitting a photograph into the show's 1024 x 512 frame.
#include <string>

#include "kit/image/rgb_image.h"

enum class PictureFit {
    crop,  // scale to cover the frame and cut away what overhangs, centred
    blur,  // the whole picture at full height or width, over a blurred,
           // darkened copy of itself that fills the frame
};

constexpr int kShowPictureWidth = 1024;
constexpr int kShowPictureHeight = 512;

// "crop" / "blur"; false for anything else.
bool parsePictureFit(const std::string& text, PictureFit* fit);

// The scale (relative to the upright picture of width x height) that the fit
// needs its source at: decoding at this scale loses nothing.
double fitSourceScale(PictureFit fit, int width, int height);

// The 1024 x 512 show picture.
RgbImage fitPicture(const RgbImage& source, PictureFit fit);
