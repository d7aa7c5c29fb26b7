#include "app/app_state.h"
#include "app/input.h"
#include "app/shell.h"

void choose_pixel_format(PlatformWindow* window) {
    const PixelFormatRequest format = {32, 32, true};
    platformChoosePixelFormat(window, format);
}

int32_t window_proc(PlatformWindow* window, const WindowMessage& message) {
    switch (message.event) {
        case WindowEvent::Created:
            app_state.window = window;
            choose_pixel_format(window);
            app_state.gl_context = platformCreateGlContext(window);
            platformMakeCurrent(window, app_state.gl_context);
            init_input();
            init_scene();
            return 0;
        case WindowEvent::Destroyed:
            if (app_state.gl_context) {
                shell_platform().restore_display_mode();
                platformMakeCurrent(nullptr, nullptr);
                platformDeleteGlContext(app_state.gl_context);
                app_state.gl_context = nullptr;
            }
            release_input();
            platformPostQuit(0);
            return 0;
        case WindowEvent::Resized: {
            int32_t width = 0, height = 0;
            platformClientSize(window, &width, &height);
            resize_view(width, height);
            return 0;
        }
        case WindowEvent::Activated:
            app_state.input.active = message.value != 0 ? 1 : 0;
            set_mouse_acquired(app_state.input);
            return 0;
        case WindowEvent::EraseBackground:
            return 1;  // handled: the frame covers the whole window, nothing is painted
    }
    return 0;
}
