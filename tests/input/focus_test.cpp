// Leaving and regaining the foreground: the mouse is unacquired and its
// totals stop; the keyboard fails until it is acquired again on the 50th
// failed poll.
#include "input_events.h"

TEST_F(ForegroundInput, InactiveMouseStopsCounting) {
    push_focus(false);
    state.active = 0;
    set_mouse_acquired(state);
    push_motion(8, 8);
    poll_input(state);
    EXPECT_EQ(state.mouse_x + state.mouse_y, 0);
    push_focus(true);
    state.active = 1;
    set_mouse_acquired(state);
    push_motion(3, 1);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3);
    EXPECT_EQ(state.mouse_y, 1);
}

// A mouse lost between two polls is acquired again by the poll while the
// window is active, and left alone while it is not.
TEST_F(ForegroundInput, LostMouseIsAcquiredAgainOnlyWhileActive) {
    for (int active : {1, 0}) {
        SCOPED_TRACE(active);
        state.mouse_x = 0;
        push_focus(false);
        push_focus(true);
        push_motion(5, 0);  // comes after the loss: not buffered
        state.active = active;
        poll_input(state);
        EXPECT_EQ(state.mouse_x, 0);
        push_motion(6, 0);
        poll_input(state);
        EXPECT_EQ(state.mouse_x, active ? 6 : 0);
    }
}

TEST_F(ForegroundInput, KeyboardFailsInTheBackgroundAndKeepsItsAxes) {
    push_key(SDL_SCANCODE_W, true);
    poll_input(state);
    ASSERT_EQ(state.forward, 1);
    push_focus(false);
    push_key(SDL_SCANCODE_S, true);
    poll_input(state);
    EXPECT_EQ(state.forward, 1);
    EXPECT_EQ(state.last_released, 0);
}

TEST_F(ForegroundInput, KeyboardIsAcquiredAgainOnTheFiftiethFailure) {
    // The fixture's keyboard came back on a 50th failure: the count is a multiple of 50 here.
    push_focus(false);
    for (int poll = 0; poll < 10; ++poll) poll_input(state);
    push_focus(true);
    push_key(SDL_SCANCODE_D, true);
    for (int poll = 0; poll < 40; ++poll) {
        poll_input(state);
        ASSERT_EQ(state.strafe, 0) << "poll " << poll;
    }
    poll_input(state);  // the keyboard answers after the 50th failure
    EXPECT_EQ(state.strafe, 1);
}

TEST_F(ForegroundInput, KeysHeldWhenTheFocusLeavesAreUpAfterwards) {
    push_key(SDL_SCANCODE_UP, true);
    poll_input(state);
    ASSERT_EQ(state.forward, 1);
    push_focus(false);
    push_focus(true);
    for (int poll = 0; poll < 50; ++poll) poll_input(state);
    EXPECT_EQ(state.forward, 1);  // still failing: the axes keep their values
    poll_input(state);
    EXPECT_EQ(state.forward, 0);
    EXPECT_EQ(state.last_released, 200);
}
