// SDL scancodes reach the key state under the classic scan codes.
#include <gtest/gtest.h>

#include "platform/sdl/scan_codes.h"

TEST(ScanCodes, MovementKeys) {
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_RIGHT), 205);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_D), 32);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_LEFT), 203);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_A), 30);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_UP), 200);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_W), 17);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_DOWN), 208);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_S), 31);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_RCTRL), 157);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_Q), 16);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_RSHIFT), 54);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_E), 18);
}

TEST(ScanCodes, RestOfTheMainBlock) {
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_1), 2);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_0), 11);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_RETURN), 28);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_LCTRL), 29);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_Z), 44);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_M), 50);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_SPACE), 57);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_F1), 59);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_F12), 88);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_KP_ENTER), 156);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_RALT), 184);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_DELETE), 211);
}

TEST(ScanCodes, EveryCodeBelongsToOneKey) {
    int owners[256] = {};
    for (int key = 0; key < SDL_NUM_SCANCODES; ++key) {
        uint8_t code = sdlKeyToScanCode(static_cast<SDL_Scancode>(key));
        if (code != 0) ++owners[code];
    }
    for (int code = 1; code < 256; ++code) EXPECT_LE(owners[code], 1) << "code " << code;
    EXPECT_EQ(owners[0], 0);
}

TEST(ScanCodes, KeysWithoutClassicCodeGiveZero) {
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(sdlKeyToScanCode(SDL_SCANCODE_F24), 0);
}
