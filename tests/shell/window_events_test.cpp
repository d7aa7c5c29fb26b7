// The window procedure and event pump on a real fullscreen offscreen window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/app_state.h"
#include "app/gl.h"
#include "app/shell.h"
#include "platform/window.h"
#include "shell_fixture.h"

namespace {

std::vector<WindowEvent> events;
std::vector<int32_t> results;

int32_t recording_procedure(PlatformWindow* window, const WindowMessage& message) {
    events.push_back(message.event);
    results.push_back(window_proc(window, message));
    return results.back();
}

// Takes every waiting event; true when the quit request came with code 0.
bool drain() {
    while (platformPeekEvent()) {
        int32_t code = -1;
        if (!platformDispatchEvent(&code)) return code == 0;
    }
    return false;
}

void push_window_event(SDL_WindowEventID id) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    SDL_PushEvent(&event);
}

// A mouse motion of x, then what the input reads of it.
void push_motion(int32_t x, InputState& input) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = x;
    SDL_PushEvent(&event);
    poll_input(input);
}

uint32_t pixel(int x, int y) {
    uint8_t rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

}  // namespace

// Every event of a show's window, in the order of its life.
TEST(ShellWindow, ResizeEraseFocusAndClose) {
    ShowDirectory directory;  // the scene needs its font
    ASSERT_TRUE(platformChangeDisplayMode(1024, 768, 32));
    PlatformWindow* window = platformCreateWindow("Velandora", 0, 0, 1024, 768, recording_procedure);
    ASSERT_NE(window, nullptr);
    platformShowWindow(window, kShowWindowNormal);
    drain();
    // The offscreen desktop already has the show's size: the window still
    // covers the screen, not borderless under the panels, until the mode is restored.
    SDL_Window* shown = SDL_GL_GetCurrentWindow();
    EXPECT_NE(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_NE(SDL_GetWindowFlags(shown) & SDL_WINDOW_BORDERLESS, 0u);
    platformRestoreDisplayMode();
    EXPECT_EQ(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    drain();

    // The projection uses the whole-number aspect: 800 / 600 is 1, a square
    // frustum; 2048 / 768 is 2, twice as tall as wide; no height counts as 1.
    const double near_plane = double(0.05f), half = double(0.04f);
    const struct { int32_t width, height, aspect; } rows[] = {{800, 600, 1}, {2048, 768, 2}, {640, 0, 640}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << " x " << row.height);
        resize_view(row.width, row.height);
        EXPECT_EQ(app_state.client_width, row.width);
        EXPECT_EQ(app_state.client_height, row.height);
        EXPECT_EQ(app_state.client_width_f, float(row.width));
        EXPECT_EQ(app_state.client_height_f, float(row.height));
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, row.width, row.height}));
        GLdouble matrix[16] = {};
        glGetDoublev(GL_PROJECTION_MATRIX, matrix);
        EXPECT_NEAR(matrix[0], near_plane / half, 1e-6);
        EXPECT_NEAR(matrix[5], near_plane / (row.aspect * half), 1e-6);
        EXPECT_NEAR(matrix[10], -(500.0 + near_plane) / (500.0 - near_plane), 1e-6);
    }
    // A size change reads the client area; erasing is answered without painting.
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    events.clear();
    results.clear();
    push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED);
    push_window_event(SDL_WINDOWEVENT_EXPOSED);
    drain();
    EXPECT_EQ(events, (std::vector<WindowEvent>{WindowEvent::Resized, WindowEvent::EraseBackground}));
    EXPECT_EQ(results, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(app_state.client_width, 1024);
    EXPECT_EQ(app_state.client_height, 768);
    EXPECT_EQ(pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(pixel(1023, 767), 0x0000FFu);

    // Deactivation unacquires the mouse and activation acquires it again.
    app_state.input = InputState{};
    app_state.input.active = 1;
    push_motion(4, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 4);
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    drain();
    EXPECT_EQ(app_state.input.active, 0u);
    push_motion(50, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 4);
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    drain();
    EXPECT_EQ(app_state.input.active, 1u);
    push_motion(7, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 11);

    // Closing destroys the window, quits with 0 and takes the input devices with it.
    events.clear();
    push_window_event(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(drain());
    EXPECT_EQ(events, std::vector<WindowEvent>{WindowEvent::Destroyed});
    EXPECT_EQ(app_state.gl_context, nullptr);
    InputState input = {};
    input.active = 1;
    push_motion(5, input);
    EXPECT_EQ(input.mouse_x, 0);
}
