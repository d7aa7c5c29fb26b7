#pragma once
// The show sequencer: what is on screen at a given music time. Slot k of the
// show covers show milliseconds [6000 k, 6000 (k + 1)), show millisecond 0
// being 2.5 s into the music; each slot fades picture k in over the previous
// one and types its caption.
#include <cstdint>

constexpr int32_t kPictureWidth = 1024;
constexpr int32_t kPictureHeight = 512;
constexpr int32_t kCaptionLineCount = 54;

constexpr int32_t kShowStartMilliseconds = 2500;
constexpr int32_t kSlotMilliseconds = 6000;
constexpr int32_t kFadeStartMilliseconds = 500;
// Captions are typed at 51 characters per fade, so at most 50 ever show.
constexpr int32_t kCaptionTypingRate = 51;
constexpr int32_t kCaptionBufferUnits = 1000;
constexpr float kLoopVolume = 0.15f;

struct ShowState {
    int32_t previous_index;  // picture under the fade, -1 for none
    int32_t current_index;   // picture of the current slot, -1 before the first
    // Pixels as 0xFF000000 | blue << 16 | green << 8 | red: bytes R, G, B, 255.
    uint32_t picture_pixels[kPictureWidth * kPictureHeight];
    uint32_t previous_pixels[kPictureWidth * kPictureHeight];
    char* caption_text;  // the caption file, carriage returns turned into zeros
    char* caption_lines[kCaptionLineCount];  // line k is picture k's caption; null past the last
};

extern ShowState show_state;

// Both pixel buffers zero, both picture indices -1.
void reset_show();

// Loads the caption lines from the text file `name`. A missing file leaves
// no lines, so every picture gets an empty caption.
void load_captions(const char* name);

// Draws the frame for `time` seconds of music (the music's play position; it
// may be negative or 0) and sets the two loop volumes. At the first slot
// whose picture file is missing or empty the show is over: the process ends
// with status 0 through the end hook.
void show_frame(float time);

// What ends the process at the end of the show; null restores the default,
// platformExitProcess. A hook that returns makes show_frame return at once
// with nothing more drawn (tests observe the end this way).
using ShowEndHook = void (*)(int32_t status);
void set_show_end_hook(ShowEndHook hook);

// The pieces of show_frame, for the show and its tests.

// Show milliseconds for a music time: time x 1000 - 2500, towards zero.
int32_t show_milliseconds(float time);
// The fade of the current slot, 0 before 500 ms into it and below 1 throughout.
float fade_alpha(int32_t milliseconds);
// Characters of the caption shown at that alpha: trunc(alpha x 51).
int32_t typed_characters(float alpha);
// Whether a caption cut at `typed` (text holding its first units, zero
// terminated) is being typed: the active loop plays then.
bool caption_is_typing(const char16_t* shown, int32_t typed);
// Loads picture `index`, the file "data/images/%04d.wmj" with (index + 1) x 100,
// into picture_pixels. Returns false when the file is
// missing or empty (the end of the show). A picture that can't be used (the
// decoder refuses it, finds it corrupt or truncated, or it is not 1024 x 512)
// becomes black, with one line on stderr naming the file.
bool load_show_picture(int32_t index);
