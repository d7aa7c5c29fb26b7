#pragma once
// An OpenGL context that draws into a hidden frame buffer of a given size,
// for rendering frames without a screen: SDL's offscreen video driver (EGL)
// unless SDL_VIDEODRIVER names another.
#include <string>

#include "kit/image/rgb_image.h"

struct SDL_Window;

class OffscreenGl {
public:
    OffscreenGl() = default;
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;

    // Creates the window and makes its context current; false with `error`.
    bool open(int width, int height, std::string* error);
    // The back buffer as it stands, rows from the top.
    RgbImage read_pixels() const;

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    int width_ = 0, height_ = 0;
    bool sdl_started_ = false;
};
