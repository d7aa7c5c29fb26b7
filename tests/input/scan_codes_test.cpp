// SDL scancodes reach the key state under the classic scan codes.
#include <gtest/gtest.h>

#include "platform/sdl/scan_codes.h"

TEST(ScanCodes, ClassicCodes) {
    const std::pair<SDL_Scancode, int> cases[] = {
        {SDL_SCANCODE_RIGHT, 205}, {SDL_SCANCODE_D, 32},      {SDL_SCANCODE_LEFT, 203},    {SDL_SCANCODE_A, 30},
        {SDL_SCANCODE_UP, 200},    {SDL_SCANCODE_W, 17},      {SDL_SCANCODE_DOWN, 208},    {SDL_SCANCODE_S, 31},
        {SDL_SCANCODE_RCTRL, 157}, {SDL_SCANCODE_Q, 16},      {SDL_SCANCODE_RSHIFT, 54},   {SDL_SCANCODE_E, 18},
        {SDL_SCANCODE_ESCAPE, 1},  {SDL_SCANCODE_1, 2},       {SDL_SCANCODE_0, 11},        {SDL_SCANCODE_RETURN, 28},
        {SDL_SCANCODE_LCTRL, 29},  {SDL_SCANCODE_Z, 44},      {SDL_SCANCODE_M, 50},        {SDL_SCANCODE_SPACE, 57},
        {SDL_SCANCODE_F1, 59},     {SDL_SCANCODE_F12, 88},    {SDL_SCANCODE_KP_ENTER, 156}, {SDL_SCANCODE_RALT, 184},
        {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_UNKNOWN, 0}, {SDL_SCANCODE_F24, 0},  // no classic code
    };
    for (const auto& c : cases) EXPECT_EQ(sdlKeyToScanCode(c.first), c.second) << SDL_GetScancodeName(c.first);
}

TEST(ScanCodes, EveryCodeBelongsToOneKey) {
    int owners[256] = {};
    for (int key = 0; key < SDL_NUM_SCANCODES; ++key) ++owners[sdlKeyToScanCode(static_cast<SDL_Scancode>(key))];
    for (int code = 1; code < 256; ++code) EXPECT_LE(owners[code], 1) << "code " << code;
}
