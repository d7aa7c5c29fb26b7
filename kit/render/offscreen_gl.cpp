#include "kit/render/offscreen_gl.h"

#include <SDL.h>
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

OffscreenGl::~OffscreenGl() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    if (sdl_started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool OffscreenGl::open(int width, int height, std::string* error) {
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = std::string("no video driver: ") + SDL_GetError();
        return false;
    }
    sdl_started_ = true;
    // The player's frame buffer: 8 bits per colour, no alpha, a depth buffer.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow("velkit render", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) {
        *error = std::string("cannot create a window: ") + SDL_GetError();
        return false;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0) {
        *error = std::string("cannot create an OpenGL context: ") + SDL_GetError();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

RgbImage OffscreenGl::read_pixels() const {
    RgbImage image(width_, height_);
    std::vector<uint8_t> rows(size_t(width_) * height_ * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    // GL's rows run from the bottom up.
    const size_t stride = size_t(width_) * 3;
    for (int y = 0; y < height_; ++y)
        std::memcpy(image.pixel(0, y), &rows[size_t(height_ - 1 - y) * stride], stride);
    return image;
}
