#pragma once
// Keyboard and mouse, read once per frame into a small result record.
#include <cstdint>

struct InputState {
    int32_t forward;        // +1 Up or W, -1 Down or S
    int32_t strafe;         // +1 Right or D, -1 Left or A
    int32_t vertical;       // +1 Right Ctrl or Q, -1 Right Shift or E
    int32_t last_released;  // highest key code released since the previous poll, else 0
    int32_t mouse_x;        // sums of all relative mouse movements
    int32_t mouse_y;
    int32_t mouse_wheel;
    uint32_t active;        // 1 while the window is active
};

// Key codes of the movement keys.
constexpr int kKeyRight = 205;
constexpr int kKeyD = 32;
constexpr int kKeyLeft = 203;
constexpr int kKeyA = 30;
constexpr int kKeyUp = 200;
constexpr int kKeyW = 17;
constexpr int kKeyDown = 208;
constexpr int kKeyS = 31;
constexpr int kKeyRightControl = 157;
constexpr int kKeyQ = 16;
constexpr int kKeyRightShift = 54;
constexpr int kKeyE = 18;

// Opens the keyboard and the mouse for the shell's window; false (and nothing
// open) when a step fails. The keyboard is acquired here, the mouse on activation.
bool init_input();

// Mouse first, then keyboard; does nothing without devices.
void poll_input(InputState& state);

// Acquires the mouse while the window is active, releases it otherwise.
void set_mouse_acquired(InputState& state);

// Lets go of the keyboard and the input system (the mouse is left alone).
void release_input();
