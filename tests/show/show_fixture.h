#pragma once
// A show made by a test in a fresh directory, and the player's scene over it.
#include <string>
#include <vector>

#include "audio/loop_mixer.h"
#include "kit/image/rgb_image.h"
#include "kit/render/offscreen_gl.h"
#include "tests/support/scratch_directory.h"

// A 1024 x 512 test picture: smooth colour ramps that differ by `seed`.
RgbImage test_picture(int seed);
// Picture `seed`'s file (seed -1: black) and what the player's decoder makes
// of it (RGB), made once per process.
const std::vector<uint8_t>& test_picture_file(int seed);
const RgbImage& decoded_test_picture(int seed);
std::vector<uint8_t> encode_test_picture(const RgbImage& image);
// "data/images/%04d.wmj" of picture `index`.
std::string picture_name(int index);

// Writes the test font, baked once per process, as data/fonts/batang.*.
void write_test_font();

// Largest difference between the frame's picture area (rows from 128) and
// weight x top + (1 - weight) x under over the picture's first `rows` rows.
int picture_error(const RgbImage& frame, const RgbImage& top, double weight, const RgbImage& under, int rows = 512);

// The player's scene in a hidden 1024 x 768 frame buffer, drawn as the frame driver does.
class SceneHarness {
public:
    SceneHarness();
    ~SceneHarness();
    bool ready() const { return ready_; }
    // One frame at `time` seconds of music over the given clear colour.
    void draw(float time, float clear_grey = 0.0f);
    RgbImage pixels() const { return gl_.read_pixels(); }
    // Whether the show asked to end the process since the harness started, and with what.
    bool ended() const { return end_status_ >= 0; }
    int end_status() const { return end_status_; }

private:
    static int end_status_;
    bool ready_ = false;
    OffscreenGl gl_;
    LoopMixer mixer_;
};
