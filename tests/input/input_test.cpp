// Keyboard, mouse and camera: the input record built from injected SDL events
// (SDL scancodes reach the key state under the classic scan codes), and the
// fly camera it drives.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "app/input.h"
#include "platform/sdl/scan_codes.h"

namespace {

void push(SDL_Event event) { SDL_PushEvent(&event); }

void push_key(SDL_Scancode key, bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.keysym.scancode = key;
    push(event);
}

void push_motion(int32_t x, int32_t y) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = x;
    event.motion.yrel = y;
    push(event);
}

void push_focus(bool gained) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    push(event);
}

// The keyboard and mouse open in the foreground, as the shell has them once its window is active.
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

}  // namespace

// Each key moves its own axis; with both keys of an axis down the negative one wins.
TEST_F(ForegroundInput, EachKeyMovesItsAxis) {
    const struct {
        SDL_Scancode positive, negative;
        int32_t InputState::*axis;
    } axes[] = {
        {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, &InputState::forward},
        {SDL_SCANCODE_W, SDL_SCANCODE_S, &InputState::forward},
        {SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, &InputState::strafe},
        {SDL_SCANCODE_D, SDL_SCANCODE_A, &InputState::strafe},
        {SDL_SCANCODE_RCTRL, SDL_SCANCODE_RSHIFT, &InputState::vertical},
        {SDL_SCANCODE_Q, SDL_SCANCODE_E, &InputState::vertical},
    };
    for (const auto& entry : axes) {
        SCOPED_TRACE(SDL_GetScancodeName(entry.positive));
        const struct { SDL_Scancode key; bool down; int32_t value; } steps[] = {
            {entry.positive, true, 1}, {entry.negative, true, -1},
            {entry.positive, false, -1}, {entry.negative, false, 0}};
        for (const auto& step : steps) {
            push_key(step.key, step.down);
            poll_input(state);
            EXPECT_EQ(state.*entry.axis, step.value);
        }
    }
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
    SDL_Event button = {}, wheel = {};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_LEFT;
    push(button);
    push_motion(5, -3);
    push_motion(-2, 7);
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 1;
    push(wheel);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3);
    EXPECT_EQ(state.mouse_y, 4);
    EXPECT_EQ(state.mouse_wheel, 120);
    wheel.wheel.y = -2;
    push(wheel);
    poll_input(state);
    EXPECT_EQ(state.mouse_wheel, -120);
    for (int i = 1; i <= 20; ++i) push_motion(i, 0);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3 + 16 * 17 / 2);
    push_motion(100, 0);
    poll_input(state);
    EXPECT_EQ(state.mouse_x, 3 + 16 * 17 / 2 + 100);
    EXPECT_EQ(state.mouse_y, 4);
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

// Keys held when the focus leaves are up afterwards. Until the keyboard is
// acquired again, on its 50th failed poll (those in the background count), it
// fails and the axes keep their values.
TEST_F(ForegroundInput, KeyboardIsAcquiredAgainOnTheFiftiethFailureWithHeldKeysUp) {
    // The fixture's keyboard came back on a 50th failure: the count is a multiple of 50 here.
    push_key(SDL_SCANCODE_UP, true);
    poll_input(state);
    ASSERT_EQ(state.forward, 1);
    push_focus(false);
    for (int poll = 0; poll < 50; ++poll) {
        if (poll == 10) push_focus(true);
        poll_input(state);
        ASSERT_EQ(state.forward, 1) << "poll " << poll;
    }
    poll_input(state);
    EXPECT_EQ(state.forward, 0);
    EXPECT_EQ(state.last_released, 200);
}

// The keys that move the camera are EachKeyMovesItsAxis's.
TEST(ScanCodes, ClassicCodes) {
    const std::pair<SDL_Scancode, int> cases[] = {
        {SDL_SCANCODE_ESCAPE, 1},  {SDL_SCANCODE_1, 2},       {SDL_SCANCODE_0, 11},        {SDL_SCANCODE_RETURN, 28},
        {SDL_SCANCODE_LCTRL, 29},  {SDL_SCANCODE_Z, 44},      {SDL_SCANCODE_M, 50},        {SDL_SCANCODE_SPACE, 57},
        {SDL_SCANCODE_F1, 59},     {SDL_SCANCODE_F12, 88},    {SDL_SCANCODE_KP_ENTER, 156}, {SDL_SCANCODE_RALT, 184},
        {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_UNKNOWN, 0}, {SDL_SCANCODE_F24, 0},  // no classic code
    };
    for (const auto& c : cases) EXPECT_EQ(sdlKeyToScanCode(c.first), c.second) << SDL_GetScancodeName(c.first);
    int owners[256] = {};
    for (int key = 0; key < SDL_NUM_SCANCODES; ++key) ++owners[sdlKeyToScanCode(static_cast<SDL_Scancode>(key))];
    for (int code = 1; code < 256; ++code) EXPECT_LE(owners[code], 1) << "code " << code;
}

// A new camera is at rest. A driven axis gains 0.001 a frame (forward is -z,
// vertical is down), an undriven one keeps 0.95 of its speed, and the
// position moves by the speed.
TEST(FlyCamera, DrivenAxesSpeedUpAndOthersSlowDown) {
    FlyCamera* created = create_camera();
    ASSERT_NE(created, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(created->position[i] + created->velocity[i], 0.0f) << i;
    delete created;
    const struct {
        const char* name;
        int forward, strafe, vertical;
        float start[3], velocity[3];  // before and after one frame
    } cases[] = {
        {"forward", 1, 0, 0, {0, 0, 0}, {0, 0, -0.001f}},
        {"forward again", 1, 0, 0, {0, 0, -0.001f}, {0, 0, -0.002f}},
        {"vertical", 0, 0, 1, {0, 0, 0}, {0, -0.001f, 0}},
        {"strafe only", 0, 1, 0, {1.0f, 2.0f, -1.0f}, {1.001f, 1.9f, -0.95f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlyCamera camera = {};
        for (int i = 0; i < 3; ++i) camera.velocity[i] = c.start[i];
        camera.position[0] = 5.0f;
        InputState input = {};
        input.forward = c.forward;
        input.strafe = c.strafe;
        input.vertical = c.vertical;
        update_camera(camera, input);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(camera.velocity[i], c.velocity[i]) << i;
            EXPECT_FLOAT_EQ(camera.position[i], c.velocity[i] + (i == 0 ? 5.0f : 0.0f)) << i;
        }
    }
}

// 0.4 degrees per mouse step: 225 steps of yaw turn the camera a right angle
// (its x axis becomes z), 75 of pitch tilt it by 30 degrees; the position
// stands after the rotation rows, and horizontal motion turns with the camera.
TEST(FlyCamera, OrientationAndMotionFollowTheMouse) {
    FlyCamera camera = {};
    camera.position[0] = 1.0f;
    camera.position[1] = 2.0f;
    camera.position[2] = 3.0f;
    InputState input = {};
    input.mouse_x = 225;
    input.mouse_y = 75;
    input.forward = 1;
    input.strafe = -1;
    update_camera(camera, input);
    const double half = 0.5, root = std::sqrt(3.0) / 2;
    const double expected[16] = {0, half, -root, 1, 0, root, half, 2, 1, 0, 0, 3, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(camera.orientation[i], expected[i], 1e-6) << "element " << i;
        EXPECT_NEAR(camera.rotation[i], (i % 4 == 3 && i != 15) ? 0.0 : expected[i], 1e-6) << "element " << i;
    }
    // Speeds -0.001 on x and z: x and z are swapped by the yaw, z tilted by the pitch.
    EXPECT_NEAR(camera.position[0], 1 + 0.001 * root, 1e-6);
    EXPECT_NEAR(camera.position[1], 2 - 0.001 * half, 1e-6);
    EXPECT_NEAR(camera.position[2], 3 - 0.001, 1e-6);
}
