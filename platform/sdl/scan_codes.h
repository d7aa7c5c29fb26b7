#pragma once
// SDL scancodes to the classic keyboard scan codes the input part indexes its
// 256-byte key state with (Right 205, D 32, Left 203, A 30, ...).
#include <SDL.h>

#include <cstdint>

// 0 for keys that have no classic code.
uint8_t sdlKeyToScanCode(SDL_Scancode key);
