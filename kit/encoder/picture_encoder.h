#pragma once
// Encoder for the show's picture files (".wmj"): YCoCg-R colour planes, a
// forward lapped transform with a second-level DCT of the block averages,
// quantisation with the player's fixed steps (luma quality 20, chroma 70) and
// the bit-plane run-length coder that the player's PictureDecoder reads.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "kit/image/rgb_image.h"

struct EncoderOptions {
    // A coefficient is coded as zero when its magnitude is below its dead
    // zone times its step; the decoder puts the first nonzero level at 1.5
    // steps. The dead zone of block coefficient (u, v) runs linearly from
    // lowDeadZone at u + v = 1 to highDeadZone at u + v = 14;
    // averageDeadZone is that of the second-level coefficients. Measured on
    // photographs against the file size, dropping small low-frequency
    // coefficients readily and keeping the rare large high-frequency ones
    // gives the best quality per byte.
    double lowDeadZone = 1.3;
    double highDeadZone = 0.6;
    double averageDeadZone = 1.0;
    // Further levels are chosen by rounding |c| / step - 0.5 with this bias:
    // 0.5 rounds to the nearest reconstruction point, smaller values favour
    // the lower level (cheaper to code).
    double roundingBias = 0.5;
    // In a block with at most this many nonzero coefficients (block average
    // excluded), the levels +-1 are dropped: each costs a run code of its own
    // in a sparse neighbourhood and carries little. 0 keeps them all.
    int sparseBlockLimit = 3;
};

// Whether the player can decode a picture of this size: width and height
// multiples of 64, at least 64, height not above width, and no larger than
// the player's decoder accepts.
bool pictureSizeEncodable(int width, int height);

// What a caller chooses about a picture: its quality, or the largest file it
// may take. velkit encode and velkit make pass these through.
struct PictureEncodeOptions {
    // 1 .. 100: the trade-off between size and quality, monotonic in both.
    // 100 keeps every coefficient at its nearest level (the best picture the
    // format gives); lower values drop what costs the most bits for the least
    // error.
    int quality = 85;
    // When above 0, quality is ignored: the result is the best picture (by
    // the same trade-off) whose file has at most maxBytes bytes.
    int64_t maxBytes = 0;
};

const int kMinPictureQuality = 1;
const int kMaxPictureQuality = 100;
const int kDefaultPictureQuality = 85;

// Thrown when maxBytes is below the smallest file of the picture's size (every
// coefficient zero: a flat grey picture).
class PictureBudgetError : public std::runtime_error {
public:
    PictureBudgetError(int64_t maxBytes, int64_t smallestBytes, int width, int height);
    int64_t smallestBytes() const { return smallest_; }

private:
    int64_t smallest_;
};

// Bytes of the smallest file a width x height picture can have.
int64_t smallestPictureBytes(int width, int height);

// The Lagrange multiplier (squared error per bit) that a quality stands for.
double lambdaOfQuality(int quality);

// Encodes the picture into the bytes of a picture file with rate-distortion
// optimised levels. Throws std::invalid_argument when the size is not
// encodable, the pixel buffer does not match it or the quality is outside
// 1 .. 100, and PictureBudgetError when maxBytes cannot be met.
std::vector<uint8_t> encodePicture(const RgbImage& image, const PictureEncodeOptions& options = {});

// The earlier encoder: fixed dead zones, no rate control. Kept to compare with.
std::vector<uint8_t> encodePicture(const RgbImage& image, const EncoderOptions& options);
