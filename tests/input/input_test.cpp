// Axes, released keys and mouse totals from injected key and mouse events.
#include "input_events.h"

namespace {

struct AxisCase {
    SDL_Scancode positive, negative;
    int32_t InputState::*axis;
};

const AxisCase kAxes[] = {
    {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, &InputState::forward}, {SDL_SCANCODE_W, SDL_SCANCODE_S, &InputState::forward},
    {SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, &InputState::strafe}, {SDL_SCANCODE_D, SDL_SCANCODE_A, &InputState::strafe},
    {SDL_SCANCODE_RCTRL, SDL_SCANCODE_RSHIFT, &InputState::vertical},
    {SDL_SCANCODE_Q, SDL_SCANCODE_E, &InputState::vertical},
};

}  // namespace

// Each key moves its own axis; with both keys of an axis down the negative one wins.
TEST_F(ForegroundInput, EachKeyMovesItsAxis) {
    for (const AxisCase& entry : kAxes) {
        SCOPED_TRACE(SDL_GetScancodeName(entry.positive));
        push_key(entry.positive, true);
        poll_input(state);
        EXPECT_EQ(state.*entry.axis, 1);
        push_key(entry.negative, true);
        poll_input(state);
        EXPECT_EQ(state.*entry.axis, -1);
        push_key(entry.positive, false);
        poll_input(state);
        EXPECT_EQ(state.*entry.axis, -1);
        push_key(entry.negative, false);
        poll_input(state);
        EXPECT_EQ(state.*entry.axis, 0);
    }
    push_key(SDL_SCANCODE_W, true);
    push_key(SDL_SCANCODE_A, true);
    push_key(SDL_SCANCODE_E, true);
    poll_input(state);
    EXPECT_EQ(state.forward, 1);
    EXPECT_EQ(state.strafe, -1);
    EXPECT_EQ(state.vertical, -1);
}

// A release shows at one poll only, the highest code of several wins, and a
// press and release between two polls is never seen.
TEST_F(ForegroundInput, ReleasedKeys) {
    push_key(SDL_SCANCODE_A, true);
    push_key(SDL_SCANCODE_A, false);
    poll_input(state);
    EXPECT_EQ(state.last_released, 0);
    EXPECT_EQ(state.strafe, 0);
    push_key(SDL_SCANCODE_A, true);     // 30
    push_key(SDL_SCANCODE_DOWN, true);  // 208
    push_key(SDL_SCANCODE_D, true);     // 32
    poll_input(state);
    poll_input(state);
    EXPECT_EQ(state.last_released, 0);
    push_key(SDL_SCANCODE_A, false);
    push_key(SDL_SCANCODE_D, false);
    poll_input(state);
    EXPECT_EQ(state.last_released, 32);
    poll_input(state);
    EXPECT_EQ(state.last_released, 0);
    push_key(SDL_SCANCODE_DOWN, false);
    poll_input(state);
    EXPECT_EQ(state.last_released, 208);
}

// Motion and wheel add up per poll; buttons move nothing; the buffer holds 16 events.
TEST_F(ForegroundInput, MouseTotals) {
    SDL_Event event = {};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_LEFT;
    push(event);
    push_motion(5, -3);
    push_motion(-2, 7);
    event = {};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    event.wheel.y = 1;
    push(event);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3);
    EXPECT_EQ(state.mouse_y, 4);
    EXPECT_EQ(state.mouse_wheel, 120);
    event.wheel.y = -2;
    push(event);
    poll_input(state);
    EXPECT_EQ(state.mouse_wheel, -120);
    EXPECT_EQ(state.mouse_x, 3);
    for (int i = 1; i <= 20; ++i) push_motion(i, 0);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3 + 16 * 17 / 2);
    push_motion(100, 0);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3 + 16 * 17 / 2 + 100);
    EXPECT_EQ(state.mouse_y, 4);
}

TEST(InputWithoutDevices, PollLeavesTheStateAlone) {
    InputState state = {};
    state.forward = 1;
    state.mouse_x = 9;
    poll_input(state);  // never initialised
    EXPECT_EQ(state.forward, 1);
    EXPECT_EQ(state.mouse_x, 9);
}

TEST_F(ForegroundInput, NothingIsReadAfterRelease) {
    release_input();
    push_key(SDL_SCANCODE_W, true);
    push_motion(4, 4);
    poll_input(state);
    EXPECT_EQ(state.forward, 0);
    EXPECT_EQ(state.mouse_x, 0);
}
