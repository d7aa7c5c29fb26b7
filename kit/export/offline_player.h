#pragma once
// The player, run off screen and off line: the show of the working directory
// drawn by the player's own show_frame into a hidden frame buffer of a given
// client size, and the sound the player would write into its ring, made by
// its own music stream, loop mixer and 16-bit conversion.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/render/offscreen_gl.h"

class MusicStream;
class LoopMixer;

class OfflinePlayer {
public:
    OfflinePlayer();
    ~OfflinePlayer();
    OfflinePlayer(const OfflinePlayer&) = delete;
    OfflinePlayer& operator=(const OfflinePlayer&) = delete;

    // Mounts the archives, opens the music and the loops as the player does,
    // creates the frame buffer and sets up the scene at width x height
    // through the player's own size rules. Throws std::runtime_error when
    // there is no show here or no OpenGL context.
    void open(int width, int height);

    // The number of pictures of the show: the slots before the first missing
    // or empty picture file, as the show counts them.
    int picture_count() const { return pictures_; }

    // What show_frame's pixels depend on at music time `time`: the slot (its
    // pictures) and the fade alpha (which also gives the caption typed). Two
    // times with the same look draw the same frame; before the first slot and
    // during a slot's first 500 ms the look stands still.
    struct Look {
        int32_t slot;
        float alpha;
        bool operator==(const Look& other) const { return slot == other.slot && alpha == other.alpha; }
    };
    static Look look_at(float time);

    // Draws the frame of music time `time` as the frame driver does. False
    // when the show ended in it (nothing is drawn then).
    bool draw(float time);
    // The frame buffer as it stands: rows from the bottom (GL's order), four
    // bytes a pixel, blue, green, red, 255.
    void read_bgra(uint8_t* pixels) const;

    // Renders the music on, with the loop targets the last frame set, until
    // `frames` sample frames have been made in all, in blocks of at most one
    // refill, and appends them as 16-bit stereo to `out`.
    void render_sound_until(int64_t frames, std::vector<int16_t>& out);
    int64_t sound_rendered() const { return rendered_; }

    int width() const { return width_; }
    int height() const { return height_; }

private:
    OffscreenGl gl_;
    std::unique_ptr<MusicStream> music_;
    std::unique_ptr<LoopMixer> mixer_;
    std::vector<float> block_;
    int64_t rendered_ = 0;
    int pictures_ = 0;
    int width_ = 0, height_ = 0;
};
