#pragma once
// The shell's global record: window, context, client size, the music, the
// loop mixer, the font, the input and the camera, and the texture names.
#include <cstdint>

#include "app/input.h"

struct PlatformWindow;
struct PlatformGlContext;
class MusicStream;
class LoopMixer;
class UnicodeFont;
struct FlyCamera;

constexpr int kTextureCount = 16;
// Texture slots: the previous picture, the current picture, the font's glyph page.
constexpr int kPreviousPictureTexture = 1;
constexpr int kCurrentPictureTexture = 2;
constexpr int kFontTexture = 3;

struct AppState {
    PlatformWindow* window;
    PlatformGlContext* gl_context;  // null until created
    float client_width_f;           // client size in pixels, written by resize_view
    float client_height_f;
    int32_t client_width;
    int32_t client_height;
    MusicStream* music;
    LoopMixer* mixer;
    UnicodeFont* font;
    InputState input;
    FlyCamera* camera;
    uint32_t texture_ids[kTextureCount];
};

extern AppState app_state;
