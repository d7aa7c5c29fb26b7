// Keyboard and mouse over SDL2. Both devices are fed from an event watch, so
// they see events as they are queued (the window's event pump fetches them
// from the system), whoever takes them from the queue later:
// the key state follows key presses and releases, the mouse buffers relative
// movements while it is acquired. Focus tracking (sdl_focus) decides what is
// in the foreground.
#include "platform/input.h"

#include <SDL.h>

#include <cstring>

#include "platform/sdl/scan_codes.h"
#include "platform/sdl/sdl_focus.h"

struct PlatformInput {
    int32_t unused;
};

struct PlatformKeyboard {
    bool acquired;
    uint32_t losses;  // focus losses counted when it was acquired
};

constexpr int32_t kMaximumMouseBuffer = 256;

struct PlatformMouse {
    bool acquired;
    uint32_t losses;
    int32_t capacity;
    int32_t first;
    int32_t count;
    MouseEvent events[kMaximumMouseBuffer];
};

namespace {

uint8_t g_keys[256] = {};
PlatformMouse* g_mouse = nullptr;
bool g_watching = false;

bool stillAcquired(bool acquired, uint32_t losses) {
    return acquired && losses == sdlFocusLossCount() && sdlWindowInForeground();
}

void bufferMouseEvent(uint32_t offset, int32_t value) {
    PlatformMouse* mouse = g_mouse;
    if (!mouse || !stillAcquired(mouse->acquired, mouse->losses)) return;
    if (mouse->count >= mouse->capacity) return;  // a full buffer drops what comes
    int32_t slot = (mouse->first + mouse->count) % mouse->capacity;
    mouse->events[slot] = MouseEvent{offset, value};
    ++mouse->count;
}

int32_t mouseButtonIndex(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        case SDL_BUTTON_X1: return 3;
        case SDL_BUTTON_X2: return 4;
        default: return -1;
    }
}

int watchInput(void*, SDL_Event* event) {
    switch (event->type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            uint8_t code = sdlKeyToScanCode(event->key.keysym.scancode);
            if (code != 0) g_keys[code] = event->type == SDL_KEYDOWN ? 0x80 : 0;
            break;
        }
        case SDL_MOUSEMOTION:
            if (event->motion.xrel != 0) bufferMouseEvent(kMouseOffsetX, event->motion.xrel);
            if (event->motion.yrel != 0) bufferMouseEvent(kMouseOffsetY, event->motion.yrel);
            break;
        case SDL_MOUSEWHEEL: {
            int32_t notches = event->wheel.y;
            if (event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            if (notches != 0) bufferMouseEvent(kMouseOffsetWheel, notches * 120);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int32_t index = mouseButtonIndex(event->button.button);
            if (index >= 0) {
                bufferMouseEvent(kMouseOffsetButton0 + static_cast<uint32_t>(index),
                                 event->type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0);
            }
            break;
        }
        case SDL_WINDOWEVENT:
            // Keys held while the focus leaves are not seen to come up.
            if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) std::memset(g_keys, 0, sizeof g_keys);
            break;
        default:
            break;
    }
    return 1;
}

InputResult acquire(bool* acquired, uint32_t* losses) {
    if (!sdlWindowInForeground()) return InputOtherHasPriority;
    *acquired = true;
    *losses = sdlFocusLossCount();
    return InputOk;
}

// A device acquired before the window last left the foreground is lost.
InputResult checkAcquired(bool* acquired, uint32_t losses) {
    if (!*acquired) return InputNotAcquired;
    if (!stillAcquired(true, losses)) {
        *acquired = false;
        return InputLost;
    }
    return InputOk;
}

}  // namespace

PlatformInput* platformCreateInput() {
    if (!sdlStartEvents()) return nullptr;
    if (!g_watching) {
        SDL_AddEventWatch(watchInput, nullptr);
        g_watching = true;
    }
    return new PlatformInput{0};
}

void platformReleaseInput(PlatformInput* input) { delete input; }

PlatformKeyboard* platformCreateKeyboard(PlatformInput* input, PlatformWindow*) {
    if (!input) return nullptr;
    return new PlatformKeyboard{false, 0};
}

InputResult platformAcquireKeyboard(PlatformKeyboard* keyboard) {
    return acquire(&keyboard->acquired, &keyboard->losses);
}

void platformUnacquireKeyboard(PlatformKeyboard* keyboard) { keyboard->acquired = false; }

void platformReleaseKeyboard(PlatformKeyboard* keyboard) { delete keyboard; }

InputResult platformKeyboardState(PlatformKeyboard* keyboard, uint8_t state[256]) {
    InputResult result = checkAcquired(&keyboard->acquired, keyboard->losses);
    if (result != InputOk) return result;
    std::memcpy(state, g_keys, sizeof g_keys);
    return InputOk;
}

PlatformMouse* platformCreateMouse(PlatformInput* input, PlatformWindow*, int32_t bufferSize) {
    if (!input || bufferSize < 1 || bufferSize > kMaximumMouseBuffer) return nullptr;
    PlatformMouse* mouse = new PlatformMouse();
    mouse->capacity = bufferSize;
    g_mouse = mouse;
    return mouse;
}

InputResult platformAcquireMouse(PlatformMouse* mouse) {
    if (mouse->acquired && stillAcquired(true, mouse->losses)) return InputOk;
    InputResult result = acquire(&mouse->acquired, &mouse->losses);
    if (result == InputOk) mouse->first = mouse->count = 0;
    return result;
}

void platformUnacquireMouse(PlatformMouse* mouse) { mouse->acquired = false; }

void platformReleaseMouse(PlatformMouse* mouse) {
    if (g_mouse == mouse) g_mouse = nullptr;
    delete mouse;
}

InputResult platformMouseData(PlatformMouse* mouse, MouseEvent* event, int32_t* count) {
    *count = 0;
    InputResult result = checkAcquired(&mouse->acquired, mouse->losses);
    if (result != InputOk) return result;
    if (mouse->count == 0) return InputOk;
    *event = mouse->events[mouse->first];
    mouse->first = (mouse->first + 1) % mouse->capacity;
    --mouse->count;
    *count = 1;
    return InputOk;
}
