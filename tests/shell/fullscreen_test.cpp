// The show window covers the screen whether or not the display mode had to
// change: a desktop that already is 1024 x 768 still gets a fullscreen window,
// not a borderless one under the panels.
#include <SDL.h>
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/shell.h"
#include "platform/window.h"
#include "show_directory.h"

namespace {

void close_window() {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
    while (platformPeekEvent()) {
        int32_t code = -1;
        if (!platformDispatchEvent(&code)) break;
    }
}

}  // namespace

TEST(ShellFullscreen, TheWindowCoversTheScreenWhenTheDesktopHasTheMode) {
    ShowDirectory directory;  // the scene needs its font
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0) << SDL_GetError();
    ASSERT_TRUE(platformChangeDisplayMode(desktop.w, desktop.h, 32));
    PlatformWindow* window = platformCreateWindow("Velandora", 0, 0, desktop.w, desktop.h, window_proc);
    ASSERT_NE(window, nullptr);
    SDL_Window* shown = SDL_GL_GetCurrentWindow();
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_EQ(SDL_GetWindowFlags(shown) & SDL_WINDOW_BORDERLESS, SDL_WINDOW_BORDERLESS);
    platformRestoreDisplayMode();
    EXPECT_EQ(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    close_window();
    EXPECT_EQ(app_state.gl_context, nullptr);
}
