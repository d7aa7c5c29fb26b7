#include "platform/sdl/sdl_focus.h"

#include <SDL.h>

namespace {

bool g_foreground = false;
uint32_t g_focus_losses = 0;
bool g_watching = false;

int trackFocus(void*, SDL_Event* event) {
    if (event->type == SDL_WINDOWEVENT) {
        if (event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            g_foreground = true;
        } else if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            if (g_foreground) ++g_focus_losses;
            g_foreground = false;
        }
    }
    return 1;
}

}  // namespace

bool sdlWindowInForeground() { return g_foreground; }

uint32_t sdlFocusLossCount() { return g_focus_losses; }

void sdlSetForeground(bool foreground) {
    if (g_foreground && !foreground) ++g_focus_losses;
    g_foreground = foreground;
}

bool sdlStartEvents() {
    if (!SDL_WasInit(SDL_INIT_EVENTS) && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
    if (!g_watching) {
        SDL_AddEventWatch(trackFocus, nullptr);
        g_watching = true;
    }
    return true;
}
