#pragma once
// Injected SDL events and a fixture with the keyboard and mouse open in the
// foreground, as the shell has them once its window is active.
#include <SDL.h>
#include <gtest/gtest.h>

#include "app/input.h"

inline void push(SDL_Event event) { SDL_PushEvent(&event); }

inline void push_key(SDL_Scancode key, bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = key;
    push(event);
}

inline void push_motion(int32_t x, int32_t y) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = x;
    event.motion.yrel = y;
    push(event);
}

inline void push_focus(bool gained) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    push(event);
}

class ForegroundInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(init_input());
        push_focus(true);
        state.active = 1;
        set_mouse_acquired(state);
        // The keyboard is only acquired in the foreground, on every 50th failed poll.
        push_key(SDL_SCANCODE_RIGHT, true);
        for (int poll = 0; poll < 200 && state.strafe != 1; ++poll) poll_input(state);
        ASSERT_EQ(state.strafe, 1);
        push_key(SDL_SCANCODE_RIGHT, false);
        poll_input(state);
        state = InputState{};
        state.active = 1;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // Leaving the foreground lets go of every key the test held down.
    void TearDown() override {
        release_input();
        push_focus(false);
    }
    InputState state = {};
};
