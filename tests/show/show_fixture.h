#pragma once
// A show made by a test in a fresh directory, and the player's scene drawn
// off screen over it.
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"
#include "tests/support/scratch_directory.h"


// A 1024 x 512 test picture: smooth colour ramps that differ by `seed`.
RgbImage test_picture(int seed);
// The picture file's bytes, and what the player's decoder makes of them (RGB).
std::vector<uint8_t> encode_test_picture(const RgbImage& image);
RgbImage decode_with_player(const std::vector<uint8_t>& file);

// Bakes the test font into data/fonts/batang.* of the working directory.
void write_test_font();

// The player's scene (font, captions, textures) in a hidden 1024 x 768 frame
// buffer; draw() runs one frame as the frame driver does.
class SceneHarness {
public:
    SceneHarness();
    ~SceneHarness();
    bool ready() const { return ready_; }
    // One frame at `time` seconds of music over the given clear colour.
    void draw(float time, float clear_grey = 0.0f);
    RgbImage pixels() const;
    // Whether the show asked to end the process since the harness started.
    bool ended() const;
    int end_status() const;

private:
    bool ready_ = false;
    struct Gl;
    Gl* gl_;
};

// Pixel (x, y) of an RGB image as three ints.
inline int channel(const RgbImage& image, int x, int y, int c) { return image.pixel(x, y)[c]; }
