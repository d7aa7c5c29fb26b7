// Message boxes through SDL. Where no display can show one (no video driver,
// no window system), the caption and the text go to standard error instead.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"

void platformMessageBox(const char* text, const char* caption, int icon) {
    if (!text) text = "";
    if (!caption) caption = "";
    Uint32 flags = icon == MessageBoxIconError          ? SDL_MESSAGEBOX_ERROR
                   : icon == MessageBoxIconExclamation ? SDL_MESSAGEBOX_WARNING
                                                        : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0) return;
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void platformExitProcess(int code) { std::exit(code); }
