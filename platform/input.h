#pragma once
// Keyboard and mouse as the input part reads them: a keyboard whose state is
// 256 bytes indexed by the classic scan codes (bit 7 set while a key is down),
// a mouse with a small buffer of relative movements. Both are non-exclusive and
// foreground-only: acquiring fails while the window is not in the foreground,
// and an acquired device is lost when the window leaves it.
#include <cstdint>

struct PlatformWindow;
struct PlatformInput;
struct PlatformKeyboard;
struct PlatformMouse;

enum InputResult : int32_t {
    InputOk = 0,
    InputLost = 1,         // the device was taken away (the window left the foreground)
    InputNotAcquired = 2,  // read from a device that is not acquired
    InputOtherHasPriority = 3,  // acquire refused: the window is not in the foreground
    InputFailed = 4,
};

// Offsets of the mouse's buffered events.
constexpr uint32_t kMouseOffsetX = 0;
constexpr uint32_t kMouseOffsetY = 4;
constexpr uint32_t kMouseOffsetWheel = 8;
constexpr uint32_t kMouseOffsetButton0 = 12;  // buttons 0 to 7 follow, one byte apart

// One buffered mouse event: a relative movement along one axis (wheel: 120 per
// notch), or a button (value 0x80 pressed, 0 released).
struct MouseEvent {
    uint32_t offset;
    int32_t value;
};

// The input system; null when it cannot be opened.
PlatformInput* platformCreateInput();
void platformReleaseInput(PlatformInput* input);

PlatformKeyboard* platformCreateKeyboard(PlatformInput* input, PlatformWindow* window);
InputResult platformAcquireKeyboard(PlatformKeyboard* keyboard);
void platformUnacquireKeyboard(PlatformKeyboard* keyboard);
void platformReleaseKeyboard(PlatformKeyboard* keyboard);
// Copies the current state of all 256 keys.
InputResult platformKeyboardState(PlatformKeyboard* keyboard, uint8_t state[256]);

// A mouse that buffers up to `bufferSize` events while it is acquired; events
// beyond that are dropped.
PlatformMouse* platformCreateMouse(PlatformInput* input, PlatformWindow* window, int32_t bufferSize);
InputResult platformAcquireMouse(PlatformMouse* mouse);
void platformUnacquireMouse(PlatformMouse* mouse);
void platformReleaseMouse(PlatformMouse* mouse);
// Takes the oldest buffered event: *count is 1 with it, 0 when the buffer is empty.
InputResult platformMouseData(PlatformMouse* mouse, MouseEvent* event, int32_t* count);
