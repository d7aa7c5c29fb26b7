#pragma once
// The show window: display mode, one borderless window with an OpenGL context
// (immediate-mode OpenGL 1.1), buffer swap, cursor, and the window events the
// shell handles, delivered to its window procedure from an event pump.
#include <cstdint>

struct PlatformWindow;
struct PlatformGlContext;

enum class WindowEvent : int32_t {
    Created,          // delivered inside platformCreateWindow, before it returns
    Destroyed,        // the system closes the window (Alt+F4, window manager)
    Resized,          // the client area changed; ask platformClientSize
    Activated,        // value: nonzero when the window became active
    EraseBackground,  // the system wants the background; nonzero result = handled
};

struct WindowMessage {
    WindowEvent event;
    int32_t value;
};

// Handles one event of `window`; the result goes back to the system.
using WindowProcedure = int32_t (*)(PlatformWindow* window, const WindowMessage& message);

// Switches the primary display to width x height at bitsPerPixel for the
// window to come. False when the display refuses the mode (or there is no
// display). A display already in that mode, or one without modes to switch,
// succeeds without a switch.
bool platformChangeDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel);

// Returns the display to its own mode; nothing when no switch is in effect.
void platformRestoreDisplayMode();

void platformShowCursor(bool visible);

// Creates the one borderless, hidden window at (x, y) with the given outer
// size. `procedure` receives Created before this returns. Null on failure.
PlatformWindow* platformCreateWindow(const char* title, int32_t x, int32_t y, int32_t width,
                                     int32_t height, WindowProcedure procedure);

// How the program was asked to show its window (Windows' show commands; the
// desktop platforms other than Windows show it normally whatever is asked).
constexpr int32_t kShowWindowNormal = 1;

// Shows the window as `showCommand` asks and brings it to the foreground; the
// procedure receives Activated, Resized and EraseBackground as on a first show.
void platformShowWindow(PlatformWindow* window, int32_t showCommand);

void platformClientSize(PlatformWindow* window, int32_t* width, int32_t* height);

// The frame buffer the context is asked for; the nearest available one is used.
struct PixelFormatRequest {
    int32_t colorBits;  // RGB, no alpha
    int32_t depthBits;
    bool doubleBuffer;
};

// Sets the pixel format for the context to come; the result is not reported.
void platformChoosePixelFormat(PlatformWindow* window, const PixelFormatRequest& format);

// An OpenGL context for the window offering OpenGL 1.1 immediate mode; null on failure.
PlatformGlContext* platformCreateGlContext(PlatformWindow* window);

// Makes `context` current on `window`; both null releases the current context.
bool platformMakeCurrent(PlatformWindow* window, PlatformGlContext* context);

void platformDeleteGlContext(PlatformGlContext* context);

void platformSwapBuffers(PlatformWindow* window);

// Event pump. platformPeekEvent reports whether an event (or the quit request)
// is waiting, without taking it. platformDispatchEvent takes the next one and
// hands it to the window procedure; it returns false, with the code given to
// platformPostQuit, when what it took was the quit request, which comes only
// after every other waiting event.
bool platformPeekEvent();
bool platformDispatchEvent(int32_t* quitCode);

void platformPostQuit(int32_t code);
