#pragma once
// Objective picture quality: peak signal-to-noise ratios between two pictures
// of the same size.
#include "kit/image/rgb_image.h"

// PSNR in dB of the luma (BT.601 weights 0.299, 0.587, 0.114, computed
// without rounding) of b against a. Identical pictures give +infinity.
// Throws std::invalid_argument when the sizes differ.
double lumaPsnr(const RgbImage& a, const RgbImage& b);

// PSNR in dB over all three colour channels.
double rgbPsnr(const RgbImage& a, const RgbImage& b);

// Mean structural similarity (SSIM, Wang et al. 2004) of the luma of b
// against a: an 11 x 11 Gaussian window of deviation 1.5, K1 = 0.01,
// K2 = 0.03, averaged over every window that lies inside the picture. 1 for
// identical pictures. Throws std::invalid_argument when the sizes differ or
// the pictures are smaller than the window.
double lumaSsim(const RgbImage& a, const RgbImage& b);

// PSNR of a mean squared error on 8-bit samples.
double psnrFromMse(double mse);
