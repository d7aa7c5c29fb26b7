#pragma once
// The window-system calls the shell makes, gathered so that a test can stand
// in for any of them. The program uses system_platform().
#include <cstdint>

#include "platform/window.h"

struct ShellPlatform {
    void (*message_box)(const char* text, const char* caption, int icon);
    bool (*change_display_mode)(int32_t width, int32_t height, int32_t bits_per_pixel);
    void (*restore_display_mode)();
    void (*show_cursor)(bool visible);
    PlatformWindow* (*create_window)(const char* title, int32_t x, int32_t y, int32_t width,
                                     int32_t height, WindowProcedure procedure);
    void (*show_window)(PlatformWindow* window, int32_t show_command);
    void (*swap_buffers)(PlatformWindow* window);
    bool (*peek_event)();
    bool (*dispatch_event)(int32_t* quit_code);
    void (*sleep)(uint32_t milliseconds);
};

// The real calls of the platform layer.
const ShellPlatform& system_platform();

// The calls in use (a copy): system_platform() unless win_main was given others.
const ShellPlatform& shell_platform();
void set_shell_platform(const ShellPlatform& platform);
