#pragma once
// The application shell: start-up, the window procedure, the frame driver.
#include <cstdint>

#include "app/shell_platform.h"

// The program: start-up in its fixed order, then the message loop. Returns
// the exit code: 0 after the two start-up message boxes and when the window
// has been closed. show_command: how the system asked the window to be shown.
int32_t win_main(const ShellPlatform& platform, int32_t show_command = kShowWindowNormal);

// Handles the five window events of the show window.
int32_t window_proc(PlatformWindow* window, const WindowMessage& message);

// Asks for a double-buffered 32-bit RGB frame buffer with a 32-bit depth buffer.
void choose_pixel_format(PlatformWindow* window);

// Stores the client size and sets the viewport and projection.
void resize_view(int32_t width, int32_t height);

// The fixed OpenGL state and the scene resources; once, with the context current.
void init_scene();

// One frame: input, camera, the show at the music's time, swap.
void draw_frame();

// The show time of a count of music bytes played (16-bit stereo, 44100 Hz).
float music_seconds(int32_t bytes_played);
