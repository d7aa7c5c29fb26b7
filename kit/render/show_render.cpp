#include "kit/render/show_render.h"

#include <GL/gl.h>

#include "app/app_state.h"
#include "app/shell.h"
#include "app/show.h"
#include "kit/render/offscreen_gl.h"
#include "lib/file_system.h"

namespace {

bool show_ended = false;

void note_end(int32_t) { show_ended = true; }

// One frame as the frame driver draws it; false when the show ended in it.
bool draw_at(float time) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    show_frame(time);
    glPopMatrix();
    return !show_ended;
}

}  // namespace

RenderResult render_show_frame(float time, RgbImage* frame, std::string* error) {
    const int width = 1024, height = 768;
    OffscreenGl gl;
    if (!gl.open(width, height, error)) return RenderResult::failed;

    mountArchives();
    init_scene();
    resize_view(width, height);
    show_ended = false;
    set_show_end_hook(note_end);

    // Continuous playback has shown the previous slot before this one.
    const int32_t ms = show_milliseconds(time);
    bool running = true;
    if (ms >= kSlotMilliseconds) {
        const int32_t slot = ms / kSlotMilliseconds;
        const float previous = float((kShowStartMilliseconds + (slot - 1) * kSlotMilliseconds + 3000) / 1000.0);
        running = draw_at(previous);
    }
    if (running) running = draw_at(time);
    set_show_end_hook(nullptr);
    if (!running) {
        *error = "the show is over by then: a picture file is missing or empty";
        return RenderResult::show_over;
    }
    *frame = gl.read_pixels();
    return RenderResult::rendered;
}
