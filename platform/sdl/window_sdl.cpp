// The show window over SDL2. SDL switches the display mode only for a
// fullscreen window, so a requested switch is remembered and applied to the
// window when it is created; it is undone with the window or at process exit.
// Where the desktop already has the mode, the window is fullscreen on the
// desktop all the same: it covers the screen and stays above the panels.
#include "platform/window.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_focus.h"

struct PlatformWindow {
    SDL_Window* window;
    WindowProcedure procedure;
};

namespace {

PlatformWindow* g_window = nullptr;
bool g_fullscreen = false;   // a display mode was asked for: the window covers the screen
bool g_switch_mode = false;  // ... and must carry the mode below
SDL_DisplayMode g_mode = {};
PixelFormatRequest g_format = {32, 24, true};
bool g_quit_posted = false;
int32_t g_quit_code = 0;

void restoreAtExit() { platformRestoreDisplayMode(); }

// A driver that shows nothing (offscreen, dummy) is used only when asked for by
// name, as headless runs do; otherwise a machine without a display would play
// the show unseen instead of saying that it cannot.
bool startVideoDriver() {
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (requested && *requested) return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy") ||
                   !std::strcmp(driver, "evdev"))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

bool startVideo() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (!startVideoDriver()) return false;
        // The display mode returns with the process, however it ends.
        std::atexit(restoreAtExit);
    }
    return sdlStartEvents();
}

bool isMode(const SDL_DisplayMode& mode, int32_t width, int32_t height, int32_t bitsPerPixel) {
    return mode.w == width && mode.h == height &&
           static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8 == bitsPerPixel;
}

int32_t deliver(PlatformWindow* window, WindowEvent event, int32_t value) {
    WindowMessage message = {event, value};
    return window->procedure(window, message);
}

// OpenGL 1.1 in immediate mode: a compatibility context (2.1 or later).
void setGlAttributes(int32_t depthBits) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    int channel = g_format.colorBits >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, g_format.doubleBuffer ? 1 : 0);
}

// The system closes the window: the procedure hears of it, then it is gone.
void closeWindow() {
    PlatformWindow* window = g_window;
    if (!window) return;
    deliver(window, WindowEvent::Destroyed, 0);
    g_window = nullptr;
    g_switch_mode = false;
    g_fullscreen = false;
    SDL_DestroyWindow(window->window);
    delete window;
}

void translate(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        closeWindow();
        return;
    }
    if (event.type != SDL_WINDOWEVENT || !g_window) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            closeWindow();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            deliver(g_window, WindowEvent::Activated, 1);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            deliver(g_window, WindowEvent::Activated, 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            deliver(g_window, WindowEvent::Resized, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            deliver(g_window, WindowEvent::EraseBackground, 0);
            break;
        default:
            break;
    }
}

}  // namespace

bool platformChangeDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (!startVideo()) return false;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
    g_switch_mode = false;
    g_fullscreen = false;
    if (isMode(desktop, width, height, bitsPerPixel)) {
        g_fullscreen = true;
        return true;
    }
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 && isMode(mode, width, height, bitsPerPixel)) {
            g_mode = mode;
            g_switch_mode = true;
            g_fullscreen = true;
            return true;
        }
    }
    return false;
}

void platformRestoreDisplayMode() {
    if (g_window && g_fullscreen) SDL_SetWindowFullscreen(g_window->window, 0);
    g_switch_mode = false;
    g_fullscreen = false;
}

void platformShowCursor(bool visible) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

PlatformWindow* platformCreateWindow(const char* title, int32_t x, int32_t y, int32_t width,
                                     int32_t height, WindowProcedure procedure) {
    if (g_window || !startVideo()) return nullptr;
    setGlAttributes(g_format.depthBits);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
    if (g_switch_mode)
        flags |= SDL_WINDOW_FULLSCREEN;
    else if (g_fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* sdlWindow = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!sdlWindow) return nullptr;
    if (g_switch_mode) SDL_SetWindowDisplayMode(sdlWindow, &g_mode);
    PlatformWindow* window = new PlatformWindow{sdlWindow, procedure};
    g_window = window;
    deliver(window, WindowEvent::Created, 0);
    return window;
}

void platformShowWindow(PlatformWindow* window, int32_t) {
    SDL_ShowWindow(window->window);
    SDL_RaiseWindow(window->window);
    sdlSetForeground(true);
    deliver(window, WindowEvent::Activated, 1);
    deliver(window, WindowEvent::Resized, 0);
    deliver(window, WindowEvent::EraseBackground, 0);
}

void platformClientSize(PlatformWindow* window, int32_t* width, int32_t* height) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window->window, &w, &h);
    *width = w;
    *height = h;
}

void platformChoosePixelFormat(PlatformWindow*, const PixelFormatRequest& format) { g_format = format; }

PlatformGlContext* platformCreateGlContext(PlatformWindow* window) {
    // The nearest format: the requested depth buffer first, then smaller ones.
    const int32_t depths[] = {g_format.depthBits, 24, 16};
    for (int32_t depth : depths) {
        if (depth > g_format.depthBits) continue;
        setGlAttributes(depth);
        SDL_GLContext context = SDL_GL_CreateContext(window->window);
        if (context) return static_cast<PlatformGlContext*>(context);
    }
    return nullptr;
}

bool platformMakeCurrent(PlatformWindow* window, PlatformGlContext* context) {
    return SDL_GL_MakeCurrent(window ? window->window : nullptr, context) == 0;
}

void platformDeleteGlContext(PlatformGlContext* context) {
    if (context) SDL_GL_DeleteContext(context);
}

void platformSwapBuffers(PlatformWindow* window) {
    SDL_GL_SwapWindow(window->window);
    // Wait until the frame is drawn. Without a display's vertical sync to hold
    // it back (off screen, or on a software renderer) the loop would queue
    // frames faster than they are drawn, and the driver's memory would grow
    // with the queue.
    glFinish();
}

bool platformPeekEvent() {
    if (g_quit_posted) return true;
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
    SDL_PumpEvents();
    return SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE;
}

bool platformDispatchEvent(int32_t* quitCode) {
    SDL_Event event;
    bool events = SDL_WasInit(SDL_INIT_EVENTS) != 0;
    // Taken straight from the queue: SDL_PollEvent may answer "nothing" at
    // the end of one of its own polling rounds while events are waiting.
    if (events) SDL_PumpEvents();
    if (events && SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        translate(event);
        return true;
    }
    if (g_quit_posted) {
        g_quit_posted = false;
        *quitCode = g_quit_code;
        return false;
    }
    // Nothing waits: block until something comes, as a message loop does.
    if (events && SDL_WaitEvent(&event)) translate(event);
    return true;
}

void platformPostQuit(int32_t code) {
    g_quit_posted = true;
    g_quit_code = code;
}
