#pragma once
// Renders the frame that the player shows at a given music time for the show
// in the working directory, as continuous playback would show it.
#include <string>

#include "kit/image/rgb_image.h"

enum class RenderResult {
    rendered,
    show_over,  // the show has ended by then (a picture file is missing)
    failed,     // no OpenGL context
};

// Sets up the player's scene (archives, font, captions) in a hidden
// 1024 x 768 frame buffer and draws with the player's own show_frame: first
// the previous slot, so that its picture lies under the fade, then `time`.
RenderResult render_show_frame(float time, RgbImage* frame, std::string* error);
