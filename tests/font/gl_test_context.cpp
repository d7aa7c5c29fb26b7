#include "tests/font/gl_test_context.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "font/gl.h"

GlTestContext::GlTestContext() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window_ = SDL_CreateWindow("font tests", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window_) context_ = SDL_GL_CreateContext(window_);
    }
    if (!context_) {
        error_ = SDL_GetError();
        return;
    }
    SDL_GL_MakeCurrent(window_, context_);
    glViewport(0, 0, kWidth, kHeight);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

GlTestContext::~GlTestContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<uint8_t> GlTestContext::read_pixels() const {
    std::vector<uint8_t> bottom_up(size_t(kWidth) * kHeight * 3);
    glFinish();
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    std::vector<uint8_t> top_down(bottom_up.size());
    const size_t row_bytes = size_t(kWidth) * 3;
    for (int row = 0; row < kHeight; ++row)
        std::copy_n(&bottom_up[size_t(kHeight - 1 - row) * row_bytes], row_bytes, &top_down[size_t(row) * row_bytes]);
    return top_down;
}

