#pragma once
// Foreground state of the show window, shared by the SDL window and input code.
// It follows the window's focus events as they are queued, so a device sees a
// focus change before the window procedure does, as a foreground-only device would.
#include <cstdint>

bool sdlWindowInForeground();

// Counts the times the window has left the foreground; a device acquired
// before the latest loss has been lost.
uint32_t sdlFocusLossCount();

// Sets the state directly (the window is shown and takes the foreground).
void sdlSetForeground(bool foreground);

// Makes sure the SDL event system runs and the focus tracking is installed.
bool sdlStartEvents();
