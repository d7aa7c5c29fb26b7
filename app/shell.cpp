#include "app/shell.h"

#include <new>

#include "app/app_state.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "lib/file_system.h"
#include "platform/message_box.h"

namespace {

constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 768;
constexpr int32_t kScreenBits = 32;

void create_audio() {
    // Without memory for them the show runs silent, on a clock that stays at 0.
    app_state.music = new (std::nothrow) MusicStream();
    if (!app_state.music) return;
    app_state.music->open_music("data/audio/velandora.ogg");
    app_state.mixer = new (std::nothrow) LoopMixer(app_state.music);
    if (!app_state.mixer) return;
    app_state.music->mix_hook = &LoopMixer::mix_loops;
    app_state.music->mix_context = app_state.mixer;
    app_state.mixer->load_loop("data/audio/loop_idle.wav");
    app_state.mixer->load_loop("data/audio/loop_active.wav");
    app_state.mixer->set_target_volume(0, 0.0f);
    app_state.mixer->set_target_volume(1, 0.0f);
}

}  // namespace

int32_t win_main(const ShellPlatform& platform, int32_t show_command) {
    set_shell_platform(platform);
    mountArchives();
    create_audio();
    // The window class is registered by the platform layer with the window.

    if (!platform.change_display_mode(kScreenWidth, kScreenHeight, kScreenBits)) {
        platform.message_box("Program Will Now Close.", "ERROR", MessageBoxIconError);
        return 0;
    }
    platform.show_cursor(false);
    // A popup window has no frame: its outer size is the client size.
    PlatformWindow* window =
        platform.create_window("Velandora", 0, 0, kScreenWidth, kScreenHeight, window_proc);
    if (!window) {
        platform.message_box("Window Creation Error.", "ERROR", MessageBoxIconExclamation);
        return 0;
    }
    platform.show_window(window, show_command);
    if (app_state.music) app_state.music->start_music(window);

    for (;;) {
        while (platform.peek_event()) {
            int32_t quit_code = 0;
            if (!platform.dispatch_event(&quit_code)) return quit_code;
        }
        draw_frame();
        if (app_state.music && app_state.music->playing) player_wake();
        platform.sleep(10);
    }
}
