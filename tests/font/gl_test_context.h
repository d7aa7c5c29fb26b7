#pragma once
// A hidden 1024 x 768 SDL window with a compatibility-profile GL context, for
// drawing off screen and reading the pixels back.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scratch_directory.h"

struct SDL_Window;

class GlTestContext {
public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    // Creates the window and makes the context current; ok() tells.
    GlTestContext();
    ~GlTestContext();
    bool ok() const { return context_ != nullptr; }
    const std::string& error() const { return error_; }

    // The back buffer as RGB, rows from the top of the window.
    std::vector<uint8_t> read_pixels() const;

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    std::string error_;
};

