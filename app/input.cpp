#include "app/input.h"

#include "app/app_state.h"
#include "platform/input.h"

namespace {

constexpr int32_t kMouseBufferSize = 16;
// A lost keyboard is acquired again on every this many failed polls.
constexpr uint32_t kKeyboardRetryInterval = 50;

struct InputDevices {
    PlatformInput* input;
    PlatformKeyboard* keyboard;
    PlatformMouse* mouse;
    InputResult last_result;
    uint8_t previous_keys[256];
    uint32_t keyboard_failures;
    int32_t enabled;
};

InputDevices devices;

bool down(const uint8_t* keys, int code) { return (keys[code] & 0x80) != 0; }

// Within an axis the negative key is tested second, so it wins.
int32_t axis(const uint8_t* keys, int positive1, int positive2, int negative1, int negative2) {
    int32_t value = 0;
    if (down(keys, positive1) || down(keys, positive2)) value = 1;
    if (down(keys, negative1) || down(keys, negative2)) value = -1;
    return value;
}

void poll_mouse(InputState& state) {
    int32_t x = 0, y = 0, wheel = 0;
    for (;;) {
        MouseEvent event;
        int32_t count = 0;
        devices.last_result = platformMouseData(devices.mouse, &event, &count);
        if (devices.last_result == InputLost) {
            if (state.active)
                platformAcquireMouse(devices.mouse);
            else
                platformUnacquireMouse(devices.mouse);
            break;
        }
        if (devices.last_result != InputOk || count == 0) break;
        if (event.offset == kMouseOffsetX)
            x += event.value;
        else if (event.offset == kMouseOffsetY)
            y += event.value;
        else if (event.offset == kMouseOffsetWheel)
            wheel += event.value;
    }
    state.mouse_x += x;
    state.mouse_y += y;
    state.mouse_wheel += wheel;
}

void poll_keyboard(InputState& state) {
    state.last_released = 0;
    uint8_t keys[256];
    devices.last_result = platformKeyboardState(devices.keyboard, keys);
    if (devices.last_result != InputOk) {
        // The axes keep their values until the keyboard answers again.
        ++devices.keyboard_failures;
        if (devices.keyboard_failures % kKeyboardRetryInterval == 0) platformAcquireKeyboard(devices.keyboard);
        return;
    }
    state.forward = axis(keys, kKeyUp, kKeyW, kKeyDown, kKeyS);
    state.strafe = axis(keys, kKeyRight, kKeyD, kKeyLeft, kKeyA);
    state.vertical = axis(keys, kKeyRightControl, kKeyQ, kKeyRightShift, kKeyE);
    for (int code = 0; code < 256; ++code) {
        if (!down(keys, code) && down(devices.previous_keys, code)) state.last_released = code;
        devices.previous_keys[code] = keys[code];
    }
}

}  // namespace

bool init_input() {
    devices.enabled = 1;
    devices.input = platformCreateInput();
    if (!devices.input) {
        release_input();
        return false;
    }
    devices.keyboard = platformCreateKeyboard(devices.input, app_state.window);
    if (!devices.keyboard) {
        release_input();
        return false;
    }
    devices.last_result = platformAcquireKeyboard(devices.keyboard);
    devices.mouse = platformCreateMouse(devices.input, app_state.window, kMouseBufferSize);
    if (!devices.mouse) {
        release_input();
        return false;
    }
    return true;
}

void poll_input(InputState& state) {
    if (!devices.enabled || !devices.input || !devices.keyboard || !devices.mouse) return;
    poll_mouse(state);
    poll_keyboard(state);
}

void set_mouse_acquired(InputState& state) {
    if (!devices.mouse) return;
    if (state.active)
        devices.last_result = platformAcquireMouse(devices.mouse);
    else
        platformUnacquireMouse(devices.mouse);
}

void release_input() {
    if (!devices.input) return;
    if (devices.keyboard) {
        platformUnacquireKeyboard(devices.keyboard);
        platformReleaseKeyboard(devices.keyboard);
        devices.keyboard = nullptr;
    }
    platformReleaseInput(devices.input);
    devices.input = nullptr;
}
