#include "app/app_state.h"
#include "app/camera.h"
#include "app/gl.h"
#include "app/shell.h"
#include "app/show.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"

namespace {

// One second of 16-bit stereo output at 44100 Hz is 176400 bytes.
constexpr double kSecondsPerByte = 1.0 / 176400.0;

float show_time() {
    if (!app_state.music || !app_state.music->playing) return 0.0f;
    return music_seconds(player_position());
}

}  // namespace

float music_seconds(int32_t bytes_played) {
    return static_cast<float>(static_cast<double>(bytes_played) * kSecondsPerByte);
}

void draw_frame() {
    // The context stays current on the window from its creation on.
    poll_input(app_state.input);
    if (app_state.camera) update_camera(*app_state.camera, app_state.input);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    show_frame(show_time());
    glPopMatrix();
    shell_platform().swap_buffers(app_state.window);
}
